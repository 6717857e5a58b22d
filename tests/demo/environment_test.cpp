// The demo's environment: the service addresses it insists on, shaped as
// the add-in shapes them, and where the add-in's log goes. That the demo
// puts back the variables it sets is checked by the whole-demo run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "demo/environment.h"
#include "tests/support/scratch.h"

namespace demo {
namespace {

using testing_support::EnvironmentOverride;
using testing_support::ScratchFolder;

class ServiceAddressesTest : public ::testing::Test {
protected:
    EnvironmentOverride account{"STRATAVOX_ACCOUNT_SERVER", "https://127.0.0.1:7//"};
    EnvironmentOverride api{"STRATAVOX_API_BASE", "https://127.0.0.1:7/plyx/v1"};
    EnvironmentOverride webApp{"STRATAVOX_WEB_APP", "https://127.0.0.1:7/app/library"};
    EnvironmentOverride redirect{"STRATAVOX_REDIRECT_URI", "https://127.0.0.1:7/stratavox/"};
    EnvironmentOverride ca{"STRATAVOX_CA_BUNDLE", "/tmp/ca.pem"};
};

TEST_F(ServiceAddressesTest, AreReadAndShapedAsTheAddInShapesThemAndMissingOnesAreNamed) {
    ServiceAddresses addresses;
    std::string missing = "stale";
    ASSERT_TRUE(readServiceAddresses(addresses, missing));
    EXPECT_EQ(missing, "");
    EXPECT_EQ(addresses.accountServer, "https://127.0.0.1:7");
    EXPECT_EQ(addresses.webApp, "https://127.0.0.1:7/app/library/");
    EXPECT_EQ(addresses.redirectUri, "https://127.0.0.1:7/stratavox/");
    EXPECT_EQ(addresses.caBundle, "/tmp/ca.pem");

    account.unset();
    ca.set("");
    EXPECT_FALSE(readServiceAddresses(addresses, missing));
    EXPECT_EQ(missing, "STRATAVOX_ACCOUNT_SERVER, STRATAVOX_CA_BUNDLE");
}

TEST(LogFileTest, GoesUnderAppDataOrTheDemosOwnFolderWhichIsCreated) {
    ScratchFolder appdata, own;
    EnvironmentOverride variableGuard("APPDATA", appdata.path());
    const std::string suffix = "/Quorvane/Quorvane Kalvix/EXMI-AddIns";
    EXPECT_EQ(prepareLogFile(own.path()), appdata.path() + suffix + "/EXMI.log");
    EXPECT_TRUE(std::filesystem::is_directory(appdata.path() + suffix));
    EXPECT_FALSE(std::filesystem::exists(own.path() + "/Quorvane"));

    variableGuard.unset();
    EXPECT_EQ(prepareLogFile(own.path()), own.path() + suffix + "/EXMI.log");
    EXPECT_EQ(variable("APPDATA"), own.path());  // the add-in reads it from there
    EXPECT_TRUE(std::filesystem::is_directory(own.path() + suffix));
}

}  // namespace
}  // namespace demo
