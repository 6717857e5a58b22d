#include <gtest/gtest.h>

#include <set>

#include "support/encoding.h"
#include "support/ids.h"
#include "support/text.h"
#include "tests/support/scratch.h"

namespace {

using testing_support::failureOf;

TEST(TextConversion, ExactBothWaysAndBadConversionOnMalformedInput) {
    EXPECT_EQ(support::toUtf16("Gr\xC3\xBC\xC3\x9F \xF0\x9F\x96\xA8"), u"Gr\u00FC\u00DF \U0001F5A8");
    EXPECT_EQ(support::toUtf8(u"Gr\u00FC\u00DF \U0001F5A8"), "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x96\xA8");
    EXPECT_EQ(failureOf([] { support::toUtf16("\xC0\xAF"); }), "bad conversion");
    EXPECT_EQ(failureOf([] { support::toUtf16("abc\xFF"); }), "bad conversion");
    EXPECT_EQ(failureOf([] { support::toUtf8(std::u16string{u'a', 0xDC00}); }), "bad conversion");
}

TEST(PercentEncoding, EveryByteFollowsItsFormsTableAndStringsEncodeBytewise) {
    const std::string unreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    const std::string uriExtra = "!#$&'()*+,/:;=?@";
    const char hex[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        const std::string in(1, static_cast<char>(b));
        const std::string encoded = std::string("%") + hex[b >> 4] + hex[b & 15];
        const bool strictKeeps = b != 0 && unreserved.find(static_cast<char>(b)) != std::string::npos;
        const bool uriKeeps = strictKeeps || (b != 0 && uriExtra.find(static_cast<char>(b)) != std::string::npos);
        EXPECT_EQ(support::percentEncode(in), strictKeeps ? in : encoded) << b;
        EXPECT_EQ(support::percentEncodeUri(in), uriKeeps ? in : encoded) << b;
    }
    EXPECT_EQ(support::percentEncode("caf\xC3\xA9=1&x"), "caf%C3%A9%3D1%26x");
    EXPECT_EQ(support::percentEncodeUri("https://h/p?q=caf\xC3\xA9 #f"), "https://h/p?q=caf%C3%A9%20#f");
    EXPECT_EQ(support::percentEncode(""), "");
}

TEST(FormatUuid, CleansAndGroupsAnyNotationOf32DigitsElseFailsWithTheCleanedText) {
    // Letters beyond "f", spaces and punctuation disappear before counting.
    for (const char* text : {"{0123ABCD-4567-89AB-CDEF-0123456789AB}", "0123abcd456789abcdef0123456789ab",
                             " #0123abcd 4567 89AB cdef 0123456789ab; pqrs xyz!"})
        EXPECT_EQ(support::formatUuid(text), "0123abcd-4567-89ab-cdef-0123456789ab") << text;
    auto failure = [](const std::string& text) { return failureOf([&] { support::formatUuid(text); }); };
    EXPECT_EQ(failure("0123ABCD-4567-89AB-CDEF-0123456789A"), "invalid uuid string 0123abcd456789abcdef0123456789a");
    EXPECT_EQ(failure("0123abcd456789abcdef0123456789ab0"), "invalid uuid string 0123abcd456789abcdef0123456789ab0");
    EXPECT_EQ(failure("{not a uuid}"), "invalid uuid string ad");
    EXPECT_EQ(failure(""), "invalid uuid string ");
}

TEST(GenerateUuid, VersionAndVariantDigitsAreSetAndRandomDigitsCoverTheirWholeRange) {
    // A digit drawn from too few bits or a fixed variant would miss values.
    std::set<char> variant;
    std::set<char> perPosition[32];
    std::set<std::string> seen;
    for (int i = 0; i < 3000; ++i) {
        const std::string id = support::generateUuid();
        ASSERT_EQ(id.size(), 32u) << id;
        ASSERT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
        ASSERT_EQ(id[12], '4') << id;
        EXPECT_TRUE(seen.insert(id).second) << "repeated " << id;
        for (int p = 0; p < 32; ++p) perPosition[p].insert(id[p]);
        variant.insert(id[16]);
    }
    EXPECT_EQ(variant, (std::set<char>{'8', '9', 'a', 'b'}));
    for (int p = 0; p < 32; ++p) {
        if (p == 12 || p == 16) continue;
        EXPECT_EQ(perPosition[p].size(), 16u) << "position " << p;
    }
}

}  // namespace
