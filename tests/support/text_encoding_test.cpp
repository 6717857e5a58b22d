#include <gtest/gtest.h>

#include <stdexcept>

#include "support/encoding.h"
#include "support/text.h"

namespace {

template <typename F>
std::string failureOf(F f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no failure";
}

TEST(TextConversion, ExactBothWaysAndBadConversionOnMalformedInput) {
  EXPECT_EQ(support::toUtf16("Gr\xC3\xBC\xC3\x9F \xF0\x9F\x96\xA8"), u"Gr\u00FC\u00DF \U0001F5A8");
  EXPECT_EQ(support::toUtf8(u"Gr\u00FC\u00DF \U0001F5A8"), "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x96\xA8");
  EXPECT_EQ(failureOf([] { support::toUtf16("\xC0\xAF"); }), "bad conversion");
  EXPECT_EQ(failureOf([] { support::toUtf16("abc\xFF"); }), "bad conversion");
  EXPECT_EQ(failureOf([] { support::toUtf8(std::u16string{u'a', 0xDC00}); }), "bad conversion");
}

TEST(PercentEncoding, StrictAndUriFormsDifferOnlyInDelimiters) {
  EXPECT_EQ(support::percentEncode("a b/c"), "a%20b%2Fc");
  EXPECT_EQ(support::percentEncodeUri("a b/c"), "a%20b/c");
  EXPECT_EQ(support::percentEncode("caf\xC3\xA9=1&x"), "caf%C3%A9%3D1%26x");
  EXPECT_EQ(support::percentEncodeUri("https://h/p?q=caf\xC3\xA9#f"),
            "https://h/p?q=caf%C3%A9#f");
  EXPECT_EQ(support::percentEncode(""), "");
  EXPECT_EQ(support::percentEncode(std::string("\0", 1)), "%00");
  EXPECT_EQ(support::percentEncodeUri(std::string("\0", 1)), "%00");
}

TEST(PercentEncoding, EveryByteFollowsItsFormsTable) {
  const std::string unreserved =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
  const std::string uriExtra = "!#$&'()*+,/:;=?@";
  const char hex[] = "0123456789ABCDEF";
  for (int b = 0; b < 256; ++b) {
    const std::string in(1, static_cast<char>(b));
    const std::string encoded = std::string("%") + hex[b >> 4] + hex[b & 15];
    const bool strictKeeps = b != 0 && unreserved.find(static_cast<char>(b)) != std::string::npos;
    const bool uriKeeps =
        strictKeeps || (b != 0 && uriExtra.find(static_cast<char>(b)) != std::string::npos);
    EXPECT_EQ(support::percentEncode(in), strictKeeps ? in : encoded) << b;
    EXPECT_EQ(support::percentEncodeUri(in), uriKeeps ? in : encoded) << b;
  }
}

}  // namespace
