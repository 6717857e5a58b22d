// Design and toolpath export: the files and names they produce, the
// post-processor taken from the machine description or asked for, and every
// way an upload can fail before it reaches the network, seen through the
// page messages: each one ends on the error screen with its text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/stratavox/machine_fixture.h"

namespace vendor_test {
namespace {

using Ids = std::vector<std::string>;
using testing_support::readWholeFile;

const char* const kToolpathForm =
    R"({"projectName":"Brackets","projectDescription":"Rev A","uploadType":"toolpath",)"
    R"("printcoreOne":"AA 0.4","materialOne":"PLA","printcoreTwo":"BB 0.4","materialTwo":"PVA"})";
const char* const kDesignForm = R"({"projectName":"Brackets","projectDescription":"Rev A","uploadType":"design"})";

using ExportTest = MachineTest;

TEST_F(ExportTest, TheDesignIsWrittenAsA3mfPackageNamedAfterDocumentAndSetup) {
    std::string filePath, fileName, errorText;
    ASSERT_TRUE(palette().export3MF(filePath, fileName, errorText));
    EXPECT_EQ(fileName, "Bracket_Setup1.3mf");
    EXPECT_EQ(errorText, "");
    EXPECT_EQ(host.exports(".3mf"), Ids{filePath});
    EXPECT_EQ(readWholeFile(filePath).substr(0, 2), "PK");  // a zip package

    // A second export never overwrites the first.
    std::string secondPath, secondName;
    ASSERT_TRUE(palette().export3MF(secondPath, secondName, errorText));
    EXPECT_NE(secondPath, filePath);
    EXPECT_EQ(host.exports(".3mf").size(), 2u);
}

TEST_F(ExportTest, TheToolpathIsPostProcessedWithTheSystemPostAndThePrinterSettings) {
    std::string filePath, fileName, errorText;
    ASSERT_TRUE(palette().exportGCode(filePath, fileName, errorText, "AA 0.4", "PLA", "BB 0.8", "PVA"));
    EXPECT_EQ(fileName, "Bracket_Setup1.gcode");
    EXPECT_EQ(host.exports(".gcode"), Ids{filePath});
    const std::string gcode = readWholeFile(filePath);
    EXPECT_NE(gcode.find("; post: /opt/quorvane/posts/stratavox/s5.cps\n"), std::string::npos) << gcode;
    EXPECT_NE(gcode.find("; units: mm\n"), std::string::npos);
    EXPECT_NE(gcode.find("; property extruder1printcoreName = AA 0.4\n"
                         "; property extruder1Material = PLA\n"
                         "; property extruder2printcoreName = BB 0.8\n"
                         "; property extruder2Material = PVA\n"),
              std::string::npos)
        << gcode;
    // The machine description was only a scratch file; no dialog was needed.
    EXPECT_TRUE(host.machineDescriptions().empty());
    EXPECT_TRUE(qrvn::sim::fileDialogs().empty());
}

TEST_F(ExportTest, ADesignUploadWithoutCamShowsProgressThenItsError) {
    openPalette();
    qrvn::sim::newDocument("Sketch");
    fromPage("createproject", kDesignForm);
    EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:Could not find CAM Document."}));
    fromPage("selectproject", R"({"projectID":"p-1","uploadType":"toolpath"})");
    EXPECT_EQ(lastScreen(), "errorscreen:Could not find CAM Document.");
    EXPECT_TRUE(host.exports(".3mf").empty());
    EXPECT_TRUE(host.exports(".gcode").empty());
    EXPECT_EQ(machine->getAsyncHandler()->pendingCount(), 0u);
}

TEST_F(ExportTest, HostFailuresInTheExportShowTheirErrors) {
    openPalette();
    qrvn::sim::failOperation("CAM::export3MF");
    fromPage("createproject", kDesignForm);
    EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:Could not export 3MF data"}));
    EXPECT_EQ(machine->getAsyncHandler()->pendingCount(), 0u);

    qrvn::sim::clearFailures();
    qrvn::sim::clearMessagesToPage(kPaletteId);
    qrvn::sim::setToolpathValid(host.setup, false);
    fromPage("createproject", kToolpathForm);
    EXPECT_EQ(screens(),
              (Ids{"progressscreen", "errorscreen:Could not post-process toolpaths. Please regenerate toolpath "
                                     "before uploading!"}));
    EXPECT_TRUE(host.exports(".gcode").empty());
    EXPECT_TRUE(host.machineDescriptions().empty());
}

TEST_F(ExportTest, AnUnknownUploadKindFailsOnTheMissingFileInsteadOfHanging) {
    openPalette();
    host.log.mark();
    fromPage("selectproject", R"({"projectID":"p-1","uploadType":"drawing"})");
    EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:could not read file: "}));
    EXPECT_EQ(linesFrom(host.log.since(), "StratavoxPalette"),
              (std::vector<Entry>{{"StratavoxPalette.htmlevent", "fatal error:could not read file: "}}));
    EXPECT_EQ(machine->getAsyncHandler()->pendingCount(), 0u);
}

TEST_F(ExportTest, APaletteWithoutMachineEndsOnTheErrorScreen) {
    StratavoxPalette orphan(nullptr, "OrphanUpload", StratavoxMachine::uploadCommandInfo(), machine->getAsyncHandler());
    machine.reset();  // its palette used the same id
    orphan.onExecute();
    ASSERT_TRUE(qrvn::sim::findPalette(kPaletteId));
    host.log.mark();
    fromPage("createproject", kDesignForm);
    EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:invalid EXMI machine"}));
    EXPECT_EQ(linesFrom(host.log.since(), "StratavoxPalette"),
              (std::vector<Entry>{{"StratavoxPalette.htmlevent", "fatal error:invalid EXMI machine"}}));
}

class NamedPostTest : public MachineTest {
protected:
    qrvn::sim::MachineSpec printerSpec() const override {
        qrvn::sim::MachineSpec spec = stratavoxPrinter();
        spec.postProcessor = post;
        spec.hasDescriptionXml = !description.empty();
        spec.descriptionXml = description;
        return spec;
    }
    void SetUp() override {}
    void start(const std::string& postText, const std::string& descriptionText = "") {
        post = postText;
        description = descriptionText;
        MachineTest::SetUp();
    }

    std::string post;
    std::string description;
};

struct PostCase {
    const char* post;
    const char* description;
    bool descriptionUnwritten;
    std::string expected;  // empty: the user is asked
};

class PostPathTest : public NamedPostTest, public ::testing::WithParamInterface<PostCase> {};

TEST_P(PostPathTest, ComesFromTheMachineAndLeavesNoDescriptionBehind) {
    start(GetParam().post, GetParam().description);
    if (GetParam().descriptionUnwritten) qrvn::sim::failOperation("Machine::exportToFile");
    EXPECT_EQ(palette().readPostProcessorPath(), GetParam().expected);
    EXPECT_TRUE(host.machineDescriptions().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Machines, PostPathTest,
    ::testing::Values(PostCase{" /home/maker/posts/my s5.cps ", "", false, " /home/maker/posts/my s5.cps "},
                      PostCase{"system://vendor/printer.cps", "", false,
                               std::string(kSystemPosts) + "/vendor/printer.cps"},
                      PostCase{"system://vendor/printer.cps", "", true, ""},
                      PostCase{"", "<machine><general/></machine>", false, ""},
                      PostCase{"", "<machine><post><postprocessor>x.cps</postprocessor></post></machine>", false, ""},
                      PostCase{"", "<machine><postProcessor>x.cps</postProcessor></machine>", false, ""},
                      PostCase{"", "<other><post><postProcessor>x.cps</postProcessor></post></other>", false, ""},
                      // No <post> at all: what the host writes for a machine without one.
                      PostCase{"", "", false, ""}));

TEST_F(NamedPostTest, TheDialogAsksForThePostProcessorAndCancellingItCancelsTheUpload) {
    start("");
    openPalette();
    fromPage("createproject", kToolpathForm);
    EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:Canceled post-processor selection."}));
    const auto dialogs = qrvn::sim::fileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].kind, "open");
    EXPECT_EQ(dialogs[0].initialDirectory, kSystemPosts);
    EXPECT_EQ(dialogs[0].filter, "Postprocessor files (*.cps)");
    EXPECT_FALSE(dialogs[0].multiSelect);
    EXPECT_TRUE(host.exports(".gcode").empty());
    EXPECT_EQ(machine->getAsyncHandler()->pendingCount(), 0u);

    qrvn::sim::answerNextFileDialog(qrvn::core::DialogOK, {"/home/maker/posts/chosen.cps"});
    std::string filePath, fileName, errorText;
    ASSERT_TRUE(palette().exportGCode(filePath, fileName, errorText, "AA 0.4", "PLA", "", ""));
    EXPECT_NE(readWholeFile(filePath).find("; post: /home/maker/posts/chosen.cps\n"), std::string::npos);
}

TEST_F(NamedPostTest, AMissingFileDialogEndsOnTheErrorScreen) {
    start("");
    openPalette();
    qrvn::sim::failOperation("UserInterface::createFileDialog");
    host.log.mark();
    fromPage("createproject", kToolpathForm);
    ASSERT_EQ(screens().size(), 2u);
    EXPECT_EQ(screens()[0], "progressscreen");
    EXPECT_EQ(screens()[1].rfind("errorscreen:", 0), 0u);
    const std::vector<Entry> lines = linesFrom(host.log.since(), "StratavoxPalette");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].source, "StratavoxPalette.htmlevent");
    EXPECT_EQ("errorscreen:" + lines[0].message.substr(12), screens()[1]);
}

TEST_F(NamedPostTest, AMalformedDescriptionEndsOnTheErrorScreenAndIsRemoved) {
    start("", "<machine><post><postProcessor>x.cps</post></machine>");
    openPalette();
    host.log.mark();
    fromPage("selectproject", R"({"projectID":"p-1","uploadType":"toolpath"})");
    const std::vector<Entry> lines = linesFrom(host.log.since(), "StratavoxPalette");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].source, "StratavoxPalette.htmlevent");
    ASSERT_EQ(lines[0].message.rfind("fatal error:", 0), 0u);
    const std::string parserText = lines[0].message.substr(12);
    EXPECT_FALSE(parserText.empty());
    EXPECT_EQ(screens(), (Ids{"progressscreen", "errorscreen:" + parserText}));
    EXPECT_TRUE(host.machineDescriptions().empty());
    EXPECT_TRUE(qrvn::sim::fileDialogs().empty());
    EXPECT_TRUE(host.exports(".gcode").empty());
}

}  // namespace
}  // namespace vendor_test
