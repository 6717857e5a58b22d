#include "support/ids.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

namespace {

std::string failureOf(const std::string& text) {
  try {
    support::formatUuid(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no failure";
}

TEST(FormatUuid, CleansAndGroupsAnyNotationOf32Digits) {
  EXPECT_EQ(support::formatUuid("{0123ABCD-4567-89AB-CDEF-0123456789AB}"),
            "0123abcd-4567-89ab-cdef-0123456789ab");
  EXPECT_EQ(support::formatUuid("0123abcd456789abcdef0123456789ab"),
            "0123abcd-4567-89ab-cdef-0123456789ab");
  // Letters beyond "f", spaces and punctuation disappear before counting.
  EXPECT_EQ(support::formatUuid(" #0123abcd 4567 89AB cdef 0123456789ab; pqrs xyz!"),
            "0123abcd-4567-89ab-cdef-0123456789ab");
}

TEST(FormatUuid, WrongDigitCountFailsWithTheCleanedText) {
  EXPECT_EQ(failureOf("0123ABCD-4567-89AB-CDEF-0123456789A"),
            "invalid uuid string 0123abcd456789abcdef0123456789a");
  EXPECT_EQ(failureOf("0123abcd456789abcdef0123456789ab0"),
            "invalid uuid string 0123abcd456789abcdef0123456789ab0");
  EXPECT_EQ(failureOf("{not a uuid}"), "invalid uuid string ad");
  EXPECT_EQ(failureOf(""), "invalid uuid string ");
}

TEST(GenerateUuid, HasTheVersionAndVariantDigitsAndSurvivesFormatting) {
  const std::string a = support::generateUuid();
  const std::string b = support::generateUuid();
  EXPECT_NE(a, b);
  for (const std::string& id : {a, b}) {
    ASSERT_EQ(id.size(), 32u) << id;
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    EXPECT_EQ(id[12], '4') << id;
    EXPECT_NE(std::string("89ab").find(id[16]), std::string::npos) << id;
    const std::string formatted = support::formatUuid(id);
    EXPECT_EQ(formatted[14], '4');
    EXPECT_EQ(formatted[19], id[16]);
  }
}

TEST(GenerateUuid, RandomDigitsCoverTheirWholeRange) {
  // Each free position and the variant position must take all their values;
  // a digit drawn from too few bits or a fixed variant would not.
  std::set<char> variant;
  std::set<char> perPosition[32];
  std::set<std::string> seen;
  for (int i = 0; i < 3000; ++i) {
    const std::string id = support::generateUuid();
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
