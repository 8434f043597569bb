#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace text = platform::text;

// "É" (U+00C9), "é" (U+00E9), "€" (U+20AC) and a stray byte.
const std::string kE_acute_upper = "\xC3\x89";
const std::string kE_acute = "\xC3\xA9";
const std::string kEuro = "\xE2\x82\xAC";
const std::string kStray = "\xFF";

TEST(Text, CountsAndCutsCharacters) {
  struct Case {
    int line;
    std::string s;
    std::size_t length;
    std::string mid2_2;  // Mid(s, 2, 2)
    std::string left1;
    std::string right2;
  };
  const Case cases[] = {
      {__LINE__, "", 0, "", "", ""},
      {__LINE__, "abcd", 4, "bc", "a", "cd"},
      {__LINE__, "a" + kE_acute + "b" + kEuro, 4, kE_acute + "b", "a", "b" + kEuro},
      {__LINE__, kStray + "ab", 3, "ab", kStray, "ab"},
      {__LINE__,
       "\xE2\x82"
       "x",
       3, "\x82x", "\xE2", "\x82x"},  // cut sequence: two bytes
      {__LINE__, "a", 1, "", "a", "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(text::Len(c.s), c.length);
    EXPECT_EQ(text::Mid(c.s, 2, 2), c.mid2_2);
    EXPECT_EQ(text::Left(c.s, 1), c.left1);
    EXPECT_EQ(text::Right(c.s, 2), c.right2);
  }
  EXPECT_EQ(text::Mid("abcd", 0, 2), "ab");  // start below 1 counts as 1
  EXPECT_EQ(text::Mid("abcd", 3), "cd");     // no length: to the end
  EXPECT_EQ(text::Mid("abcd", 9, 1), "");
  EXPECT_EQ(text::ByteOffset("a" + kEuro + "b", 2), 4u);
  EXPECT_EQ(text::ByteOffset("ab", 7), 2u);
}

TEST(Text, FoldsAsciiAndLatin1Only) {
  struct Case {
    int line;
    std::string s, lower, upper;
  };
  const Case cases[] = {
      {__LINE__, "AbC", "abc", "ABC"},
      {__LINE__, kE_acute_upper + "t" + kE_acute, kE_acute + "t" + kE_acute,
       kE_acute_upper + "T" + kE_acute_upper},
      {__LINE__, "\xC3\x97\xC3\xB7", "\xC3\x97\xC3\xB7", "\xC3\x97\xC3\xB7"},  // × ÷ stay
      {__LINE__, "\xC3\x9F\xC3\xBF", "\xC3\x9F\xC3\xBF", "\xC3\x9F\xC3\xBF"},  // ß ÿ stay
      {__LINE__, kEuro + kStray + "a", kEuro + kStray + "a", kEuro + kStray + "A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(text::LCase(c.s), c.lower);
    EXPECT_EQ(text::UCase(c.s), c.upper);
    EXPECT_TRUE(text::EqualsCaseless(c.lower, c.upper));
  }
  EXPECT_FALSE(text::EqualsCaseless("a", "ab"));
  EXPECT_EQ(text::FindCaseless("xx" + kE_acute_upper + "TE", kE_acute + "t"), 2u);
  EXPECT_EQ(text::FindCaseless("abcabc", "BC", 2), 4u);
  EXPECT_EQ(text::FindCaseless("abc", "x"), std::string::npos);
  EXPECT_EQ(text::FindCaseless("abc", "a", 9), std::string::npos);
}

TEST(Text, TrimsBlanksOnly) {
  EXPECT_EQ(text::Trim("  a b  "), "a b");
  EXPECT_EQ(text::Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(text::LTrim("  a "), "a ");
  EXPECT_EQ(text::RTrim("  a "), "  a");
  EXPECT_EQ(text::Trim("   "), "");
}

TEST(Text, ReplaceAndSplit) {
  EXPECT_EQ(text::Replace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(text::Replace("abc", "", "x"), "abc");
  EXPECT_EQ(text::Replace("a-b-c", "-", ""), "abc");
  struct Case {
    int line;
    std::string s, delimiter;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {__LINE__, "", ",", {}},
      {__LINE__, "a", "", {"a"}},
      {__LINE__, "a,,b", ",", {"a", "", "b"}},
      {__LINE__, ",", ",", {"", ""}},
      {__LINE__, "a::b", "::", {"a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(text::Split(c.s, c.delimiter), c.pieces);
  }
}

TEST(Text, CodePointsAndCodePage) {
  EXPECT_EQ(text::Decode("a" + kEuro + kStray), (std::u32string{U'a', 0x20AC, 0xFFFD}));
  EXPECT_EQ(text::Encode(text::DecodeKeepBytes("a" + kStray + kEuro)), "a" + kStray + kEuro);
  EXPECT_TRUE(text::IsValidUtf8("a" + kEuro));
  EXPECT_FALSE(text::IsValidUtf8("a" + kStray));
  EXPECT_FALSE(text::IsValidUtf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(text::IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_EQ(text::ToWindows1252("a" + kE_acute + kEuro + "\xE4\xB8\xAD"), "a\xE9\x80?");
  EXPECT_EQ(text::FromWindows1252("a\xE9\x80\x81"), "a" + kE_acute + kEuro + "\xEF\xBF\xBD");
  std::string out;
  text::AppendCodePoint(out, 0x10FFFF);
  text::AppendCodePoint(out, 0x110000);
  EXPECT_EQ(out, "\xF4\x8F\xBF\xBF\xEF\xBF\xBD");
}

}  // namespace
