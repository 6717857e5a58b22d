// The fuzz targets are only as good as their checks: each check must accept
// the right form and refuse the near misses a faulty reader or encoder
// would produce.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/checks.h"

namespace {

using std::string;

TEST(PercentDecoderTest, DecodesEveryEscapeAndKeepsOtherBytes) {
    EXPECT_EQ(fuzz::percentDecode("a%20b%2Fc"), "a b/c");
    EXPECT_EQ(fuzz::percentDecode("%2f%2F"), "//");
    EXPECT_EQ(fuzz::percentDecode("%00x%FF"), string("\0x\xff", 3));
    // '+' is a plus sign here, not a space: the lenient form keeps it.
    EXPECT_EQ(fuzz::percentDecode("a+b"), "a+b");
    EXPECT_EQ(fuzz::percentDecode(""), "");
}

TEST(EncodedFormTest, StrictFormKeepsOnlyUnreservedBytesAndUpperCaseEscapes) {
    EXPECT_TRUE(fuzz::isStrictlyEncoded(""));
    EXPECT_TRUE(fuzz::isStrictlyEncoded("aZ09-._~%20%2F%00%FF%25"));
    for (const char* wrong : {"a b", "a/b", "a+b", "%2f", "%2", "%", "x%", "%GG", "%41", "%7E", "%2D", "\x80"}) {
        EXPECT_FALSE(fuzz::isStrictlyEncoded(wrong)) << wrong;
    }
    EXPECT_FALSE(fuzz::isStrictlyEncoded(string("a\0b", 3)));
}

TEST(EncodedFormTest, UriFormAlsoKeepsTheDelimitersButNothingElse) {
    EXPECT_TRUE(fuzz::isUriEncoded("https://h/p?x=1&y=(2)+3;!#$'*,@%20%25%22"));
    EXPECT_TRUE(fuzz::isUriEncoded("aZ09-._~"));
    for (const char* wrong : {"a b", "\"", "<", "%", "%2F", "%3D", "%41", "%e2", "\xe2\x82\xac"}) {
        EXPECT_FALSE(fuzz::isUriEncoded(wrong)) << wrong;
    }
}

TEST(TrimTest, RemovesWhiteSpaceAtBothEndsOnly) {
    EXPECT_EQ(fuzz::trimmed(" \t a  b \r\n"), "a  b");
    EXPECT_EQ(fuzz::trimmed("\v\fX"), "X");
    EXPECT_EQ(fuzz::trimmed("   "), "");
    EXPECT_EQ(fuzz::trimmed(""), "");
    // Bytes above 127 are never white space, whatever their sign as char.
    EXPECT_EQ(fuzz::trimmed("\xa0X\x85"), "\xa0X\x85");
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
