#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string decode(const std::string& bytes) {
  std::u16string out;
  EXPECT_TRUE(platform::utf8ToUtf16(bytes, out)) << "rejected valid input";
  return out;
}

bool decodes(const std::string& bytes) {
  std::u16string out;
  return platform::utf8ToUtf16(bytes, out);
}

bool encodes(const std::u16string& units) {
  std::string out;
  return platform::utf16ToUtf8(units, out);
}

TEST(Utf, KnownSequencesOfEveryLengthConvertBothWays) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {"A", u"A"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"\xC2\x80", u"\u0080"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xDF\xBF", u"\u07FF"},
      {"\xE0\xA0\x80", u"\u0800"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xEF\xBF\xBF", u"\uFFFF"},
      {"\xF0\x90\x80\x80", u"\U00010000"},
      {"\xF0\x9D\x84\x9E", u"\U0001D11E"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"C:\\Users\\J\xC3\xBCrgen/\xE6\x97\xA5\xE6\x9C\xAC", u"C:\\Users\\J\u00FCrgen/\u65E5\u672C"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decode(c.utf8), c.utf16);
    std::string back;
    ASSERT_TRUE(platform::utf16ToUtf8(c.utf16, back));
    EXPECT_EQ(back, c.utf8);
  }
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

TEST(Utf, MalformedUtf8IsRejected) {
  const char* bad[] = {
      "\x80",              // continuation byte without lead
      "\xBF",              //
      "\xC0\xAF",          // overlong "/"
      "\xC1\xBF",          // overlong
      "\xE0\x80\xAF",      // overlong three-byte
      "\xE0\x9F\xBF",      // overlong three-byte, top of range
      "\xF0\x80\x80\xAF",  // overlong four-byte
      "\xF0\x8F\xBF\xBF",  // overlong four-byte, top of range
      "\xED\xA0\x80",      // encoded high surrogate
      "\xED\xBF\xBF",      // encoded low surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xF5\x80\x80\x80",  // lead byte that can never start a sequence
      "\xFE",              //
      "\xFF",              //
      "\xE2\x82",          // truncated at the end
      "\xF0\x9D\x84",      // truncated at the end
      "\xE2\x28\xA1",      // second byte not a continuation
      "\xE2\x82\x28",      // third byte not a continuation
      "\xF0\x9D\x84\x28",  // fourth byte not a continuation
      "ok\xC3",            // valid prefix, truncated tail
  };
  for (const char* bytes : bad) EXPECT_FALSE(decodes(bytes)) << bytes;
}

TEST(Utf, LoneSurrogatesInUtf16AreRejected) {
  EXPECT_FALSE(encodes(std::u16string{0xD800}));               // high at the end
  EXPECT_FALSE(encodes(std::u16string{0xD83D, u'a'}));         // high, then no low
  EXPECT_FALSE(encodes(std::u16string{0xD83D, 0xD83D}));       // two highs
  EXPECT_FALSE(encodes(std::u16string{0xDC00}));               // low without high
  EXPECT_FALSE(encodes(std::u16string{u'a', 0xDFFF, u'b'}));   // low in the middle
  EXPECT_TRUE(encodes(std::u16string{0xD83D, 0xDE00}));        // a proper pair
}

TEST(Utf, EmptyInputGivesEmptyOutputAndClearsOldContent) {
  std::u16string wide = u"stale";
  ASSERT_TRUE(platform::utf8ToUtf16("", wide));
  EXPECT_TRUE(wide.empty());
  std::string narrow = "stale";
  ASSERT_TRUE(platform::utf16ToUtf8(u"", narrow));
  EXPECT_TRUE(narrow.empty());
}

}  // namespace
