#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Lengths at every boundary are covered by the round trip below; these pin the bits.
TEST(Utf, KnownSequencesOfEveryLengthConvertBothWays) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"\xDF\xBF", u"\u07FF"},
        {"\xE0\xA0\x80", u"\u0800"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"C:\\Users\\J\xC3\xBCrgen/\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9D\x84\x9E",
         u"C:\\Users\\J\u00FCrgen/\u65E5\u672C \U0001D11E"},
    };
    for (const auto& c : cases) {
        std::u16string wide = u"stale";
        ASSERT_TRUE(platform::utf8ToUtf16(c.utf8, wide));
        EXPECT_EQ(wide, c.utf16);
        std::string back = "stale";
        ASSERT_TRUE(platform::utf16ToUtf8(c.utf16, back));
        EXPECT_EQ(back, c.utf8);
    }
    std::u16string wide = u"stale";
    std::string narrow = "stale";
    ASSERT_TRUE(platform::utf8ToUtf16("", wide));
    ASSERT_TRUE(platform::utf16ToUtf8(u"", narrow));
    EXPECT_TRUE(wide.empty() && narrow.empty()) << "old content kept";
}

TEST(Utf, EveryScalarValueRoundTrips) {
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        std::u16string units;
        if (cp < 0x10000) {
            units.push_back(static_cast<char16_t>(cp));
        } else {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
        std::string bytes;
        ASSERT_TRUE(platform::utf16ToUtf8(units, bytes)) << std::hex << cp;
        const std::size_t expectedLength = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        ASSERT_EQ(bytes.size(), expectedLength) << std::hex << cp;
        std::u16string back;
        ASSERT_TRUE(platform::utf8ToUtf16(bytes, back)) << std::hex << cp;
        ASSERT_EQ(back, units) << std::hex << cp;
    }
}

TEST(Utf, MalformedUtf8AndLoneSurrogatesAreRejected) {
    // Continuation without lead; the longest overlong form of each length;
    // encoded surrogates; above U+10FFFF; bytes that never lead; truncated;
    // non-continuation inside.
    const char* bad[] = {"\x80",
                         "\xC1\xBF",
                         "\xE0\x9F\xBF",
                         "\xF0\x8F\xBF\xBF",
                         "\xED\xA0\x80",
                         "\xED\xBF\xBF",
                         "\xF4\x90\x80\x80",
                         "\xF5\x80\x80\x80",
                         "\xFF",
                         "\xF0\x9D\x84",
                         "ok\xC3",
                         "\xE2\x28\xA1",
                         "\xF0\x9D\x84\x28"};
    std::u16string wide;
    for (const char* bytes : bad) EXPECT_FALSE(platform::utf8ToUtf16(bytes, wide)) << bytes;

    std::string narrow;
    for (const std::u16string& units :
         {std::u16string{0xD800}, std::u16string{0xD83D, u'a'}, std::u16string{0xD83D, 0xD83D}, std::u16string{0xDC00},
          std::u16string{u'a', 0xDFFF, u'b'}})
        EXPECT_FALSE(platform::utf16ToUtf8(units, narrow)) << units.size();
    EXPECT_TRUE(platform::utf16ToUtf8(std::u16string{0xD83D, 0xDE00}, narrow));
}

}  // namespace
