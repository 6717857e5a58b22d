// The fuzz targets are only as good as their checks: each check must accept
// the right form and refuse the near misses a faulty reader or encoder
// would produce. (The percent decoder is libcurl's: a fault in calling it
// fails the encoding target on its first seed.)
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "fuzz/checks.h"

namespace {

using std::string;

TEST(EncodedFormTest, EachFormKeepsOnlyItsOwnBytesAndEscapesEveryOtherInUpperCase) {
    EXPECT_TRUE(fuzz::isStrictlyEncoded(""));
    EXPECT_TRUE(fuzz::isStrictlyEncoded("aZ09-._~%20%2F%00%FF%25"));
    for (const char* wrong : {"a b", "a/b", "a+b", "%2f", "%2", "%", "x%", "%GG", "%41", "%7E", "%2D", "\x80"}) {
        EXPECT_FALSE(fuzz::isStrictlyEncoded(wrong)) << wrong;
    }
    EXPECT_FALSE(fuzz::isStrictlyEncoded(string("a\0b", 3)));
    // The lenient form keeps the delimiters as well, but nothing else.
    EXPECT_TRUE(fuzz::isUriEncoded("https://h/p?x=1&y=(2)+3;!#$'*,@%20%25%22aZ09-._~"));
    for (const char* wrong : {"a b", "\"", "<", "%", "%2F", "%3D", "%41", "%e2", "\xe2\x82\xac"}) {
        EXPECT_FALSE(fuzz::isUriEncoded(wrong)) << wrong;
    }
}

TEST(TrimTest, RemovesWhiteSpaceAtBothEndsOnly) {
    // Bytes above 127 are never white space, whatever their sign as char.
    for (const auto& c : std::map<string, string>{
             {" \t a  b \r\n", "a  b"}, {"\v\fX", "X"}, {"   ", ""}, {"", ""}, {"\xa0X\x85", "\xa0X\x85"}}) {
        EXPECT_EQ(fuzz::trimmed(c.first), c.second) << c.first;
    }
}

TEST(JsonAccessTest, ReadsWholeTextsAndStringsByteForByte) {
    rapidjson::Document document;
    ASSERT_TRUE(fuzz::parseJson(document, R"({"a":"x\u0000y","n":5})"));
    EXPECT_EQ(fuzz::stringMember(document, "a"), string("x\0y", 3));
    EXPECT_EQ(fuzz::optionalStringMember(document, "b", "none"), "none");
    EXPECT_EQ(fuzz::member(document, "n").GetInt(), 5);
    EXPECT_FALSE(fuzz::parseJson(document, "{} x"));
    // RapidJSON, like the readers it checks, takes a NUL byte for the end of
    // the text: the oracle must agree with them there.
    EXPECT_TRUE(fuzz::parseJson(document, string("{}\0x", 4)));
    EXPECT_FALSE(fuzz::parseJson(document, ""));
}

TEST(InvariantDeathTest, BrokenInvariantsAbortWithTheirReason) {
    EXPECT_DEATH(fuzz::check(false, "tokens differ"), "invariant broken: tokens differ");
    EXPECT_DEATH(fuzz::checkKnownError("surprise", {"expected"}), "unexpected error text \"surprise\"");
    fuzz::check(true, "not reached");
    fuzz::checkKnownError("second", {"first", "second"});

    rapidjson::Document document;
    ASSERT_TRUE(fuzz::parseJson(document, R"({"n":5,"a":[]})"));
    EXPECT_DEATH(fuzz::stringMember(document, "n"), "member \"n\" is no string");
    EXPECT_DEATH(fuzz::member(document, "missing"), "no member \"missing\"");
    EXPECT_DEATH(fuzz::optionalStringMember(document, "a", ""), "member \"a\" is no string");
    EXPECT_DEATH(fuzz::member(document["a"], "x"), "no object");
}

}  // namespace
