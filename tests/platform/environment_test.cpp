#include "platform/environment.h"

#include <gtest/gtest.h>

#include "tests/support/scratch.h"

namespace {

using testing_support::EnvironmentOverride;

TEST(PlatformEnvironment, SetUnsetAndEmptyAreDistinguishedAndUnusableNamesReadAsUnset) {
    EnvironmentOverride var("EXMI_TEST_VARIABLE");
    var.unset();
    EXPECT_FALSE(platform::readEnvironment(u"EXMI_TEST_VARIABLE").has_value());
    var.set("");
    EXPECT_EQ(platform::readEnvironment(u"EXMI_TEST_VARIABLE"), std::u16string());
    var.set("C:\\Users\\J\xC3\xBCrgen\\AppData \xF0\x9F\x98\x80");
    EXPECT_EQ(platform::readEnvironment(u"EXMI_TEST_VARIABLE"), u"C:\\Users\\J\u00FCrgen\\AppData \U0001F600");

    // Names that getenv would cut or misparse into the set variable.
    EXPECT_FALSE(platform::readEnvironment(u"").has_value());
    EXPECT_FALSE(platform::readEnvironment(u"EXMI_TEST_VARIABLE=C:\\Users").has_value());
    EXPECT_FALSE(platform::readEnvironment(std::u16string(u"EXMI_TEST_VARIABLE\0X", 20)).has_value());
#ifndef _WIN32
    // Windows keeps the environment in UTF-16: no value is invalid UTF-8 there.
    var.set("caf\xE9");
    EXPECT_EQ(testing_support::failureOf([] { platform::readEnvironment(u"EXMI_TEST_VARIABLE"); }), "bad conversion");
#endif
}

}  // namespace
