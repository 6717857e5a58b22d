#pragma once
// Fixture for the Create Setup command: a fresh simulated host with a user
// interface, the log under a private APPDATA, and helpers to fill the CAM
// libraries, build designs and open the command's dialog. The command is removed again
// when a test ends, so its process-wide state does not leak into the next.
// Main (UI) thread only.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "createsetup/create_setup.h"
#include "host/qrvn.h"
#include "simhost/sim/sim.h"
#include "tests/exmi/log_reader.h"

namespace createsetup_test {

inline constexpr char kVendor[] = "Stratavox";
inline constexpr char kSolidDefinition[] = "CreateStratavoxSetupCommandSolid";
inline constexpr char kPrinterInput[] = "StratavoxPrinterSelection";
inline constexpr char kSettingsInput[] = "StratavoxPrintSettingsSelection";

using Entries = std::vector<exmi_test::Entry>;

class CreateSetupTest : public ::testing::Test {
protected:
    explicit CreateSetupTest(const qrvn::sim::HostOptions& options = qrvn::sim::HostOptions()) : session_(options) {}
    ~CreateSetupTest() override { CreateSetup::unregisterCommand(kVendor); }

    static qrvn::core::Ptr<qrvn::cam::Machine> addPrinter(const std::string& id, const std::string& name,
                                                          const std::string& vendor = kVendor) {
        qrvn::sim::MachineSpec spec;
        spec.id = id;
        spec.name = name;
        spec.vendor = vendor;
        spec.model = name;
        return qrvn::sim::addMachine(spec);
    }

    static qrvn::core::Ptr<qrvn::cam::PrintSetting> addSetting(const std::string& id, const std::string& name,
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

    exmi_test::LogFile log;
    qrvn::sim::Session session_;
};

}  // namespace createsetup_test
