#pragma once
// Fixture for the Create Setup command: a fresh simulated host with a user
// interface, APPDATA pointing at a private folder that holds the log's
// folder tree, and helpers to fill the CAM libraries, build designs, open
// the command's dialog and read the log back. The command is removed again
// when a test ends, so its process-wide state does not leak into the next.
// Main (UI) thread only.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "createsetup/create_setup.h"
#include "host/qrvn.h"
#include "host/sim/sim.h"
#include "tests/support/scratch.h"

namespace createsetup_test {

inline constexpr char kVendor[] = "Stratavox";
inline constexpr char kSolidDefinition[] = "CreateStratavoxSetupCommandSolid";
inline constexpr char kPrinterInput[] = "StratavoxPrinterSelection";
inline constexpr char kSettingsInput[] = "StratavoxPrintSettingsSelection";

class CreateSetupTest : public ::testing::Test {
 protected:
  explicit CreateSetupTest(const qrvn::sim::HostOptions& options = qrvn::sim::HostOptions())
      : appData_("APPDATA", scratch_ / "Roaming"), session_(options) {
    std::filesystem::create_directories(logFolder());
  }
  ~CreateSetupTest() override { CreateSetup::unregisterCommand(kVendor); }

  std::string logFolder() const {
    return scratch_.path() + "/Roaming/Quorvane/Quorvane Kalvix/EXMI-AddIns";
  }

  // The log's lines without their CR LF ends.
  std::vector<std::string> logLines() const {
    const std::string text = testing_support::readWholeFile(logFolder() + "/EXMI.log");
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));  // unterminated rest
    return lines;
  }

  // True when `line` is a time stamp "YYYY-MM-DD HH:MM:SS.mmm", two spaces,
  // the source, " | " and the message, and nothing else.
  static bool isLogLine(const std::string& line, const std::string& source,
                        const std::string& message) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd.ddd";
    const size_t stampLength = sizeof kShape - 1;
    if (line.size() < stampLength) return false;
    for (size_t i = 0; i < stampLength; ++i) {
      const bool digit = line[i] >= '0' && line[i] <= '9';
      if (kShape[i] == 'd' ? !digit : line[i] != kShape[i]) return false;
    }
    return line.substr(stampLength) == "  " + source + " | " + message;
  }

  static qrvn::core::Ptr<qrvn::cam::Machine> addPrinter(const std::string& id,
                                                        const std::string& name,
                                                        const std::string& vendor = kVendor) {
    qrvn::sim::MachineSpec spec;
    spec.id = id;
    spec.name = name;
    spec.vendor = vendor;
    spec.model = name;
    return qrvn::sim::addMachine(spec);
  }

  static qrvn::core::Ptr<qrvn::cam::PrintSetting> addSetting(const std::string& id,
                                                             const std::string& name,
                                                             const std::string& vendor,
                                                             const std::string& technology = "FFF") {
    qrvn::sim::PrintSettingSpec spec;
    spec.id = id;
    spec.name = name;
    spec.vendor = vendor;
    spec.technology = technology;
    return qrvn::sim::addPrintSetting(spec);
  }

  // Two vendor printers among others, vendor print settings and generic ones.
  static void fillLibraries() {
    addPrinter("other-1", "Other One", "Othervendor");
    addPrinter("sv-s1", "Stratavox S1");
    addPrinter("sv-s2", "Stratavox S2");
    addSetting("ps-pla", "Stratavox PLA 0.2mm", kVendor);
    addSetting("ps-other", "Other PLA", "Othervendor");
    addSetting("ps-petg", "Stratavox PETG 0.3mm", kVendor);
    addSetting("ps-bowden", "PLA Bowden Tube 0.2mm", "Generic");
    addSetting("ps-direct", "PLA Direct Drive 0.2mm", "Generic");
  }

  // A document with one component holding two bodies, made active.
  static qrvn::core::Ptr<qrvn::kalvix::KalvixDocument> simplePart() {
    auto document = qrvn::sim::newDocument("Part");
    qrvn::sim::setDesign(document, {"Part", {"Body1", "Body2"}, {}, {}});
    return document;
  }

  // Registers the command and presses its button in the Solid tab.
  static void openDialog() {
    CreateSetup::registerCommand(kVendor);
    ASSERT_TRUE(qrvn::sim::pressControl(kSolidDefinition));
    ASSERT_EQ(qrvn::sim::runningCommandId(), kSolidDefinition);
  }

  static qrvn::core::Ptr<qrvn::core::DropDownCommandInput> dropDown(const std::string& id) {
    auto command = qrvn::sim::runningCommand();
    if (!command) return nullptr;
    return command->commandInputs()->itemById(id).query<qrvn::core::DropDownCommandInput>();
  }

  static qrvn::core::Ptr<qrvn::cam::CAM> camOf(const qrvn::core::Ptr<qrvn::core::Document>& doc) {
    return doc->products()->itemByProductType("CAMProductType").query<qrvn::cam::CAM>();
  }

  testing_support::ScratchFolder scratch_;
  testing_support::EnvironmentOverride appData_;
  qrvn::sim::Session session_;
};

}  // namespace createsetup_test
