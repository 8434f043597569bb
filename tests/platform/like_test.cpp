#include "platform/like.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"

namespace {

struct Case {
  int line;
  std::string value;
  std::string pattern;
  bool binary;       // the answer of binary comparison
  bool textCompare;  // the answer of text comparison
};

TEST(Like, PatternsOfTheConditions) {
  const Case cases[] = {
      {__LINE__, "UB04", "UB04", true, true},
      {__LINE__, "ub04", "UB04", false, true},
      {__LINE__, "UB04", "UB*", true, true},
      {__LINE__, "UB04", "U?0#", true, true},
      {__LINE__, "UBX4", "U?0#", false, false},
      {__LINE__, "A1", "[A-C]#", true, true},
      {__LINE__, "a1", "[A-C]#", false, true},
      {__LINE__, "D1", "[!A-C]#", true, true},
      {__LINE__, "", "", true, true},
      {__LINE__, "", "*", true, true},
      {__LINE__, "", "?", false, false},
      {__LINE__, "abc", "a*c*", true, true},
      {__LINE__, "abc", "*b", false, false},
      {__LINE__, "a*c", "a[*]c", true, true},
      {__LINE__, "abc", "a[*]c", false, false},
      {__LINE__, "a[c", "a[[]c", true, true},
      {__LINE__, "a]c", "a]c", true, true},
      {__LINE__, "a-c", "a[-]c", true, true},
      {__LINE__, "ac", "a[]c", true, true},
      {__LINE__, "line1\nline2", "line1*2", true, true},
      {__LINE__, "\xC3\xA9t\xC3\xA9", "?t?", true, true},  // characters, not bytes
      {__LINE__, "\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", false, true},
      {__LINE__, "12-34", "##-##", true, true},
      // Only a "!" right after "[" negates; elsewhere in a list it is itself.
      {__LINE__, "^", "[.!?]", false, false},
      {__LINE__, "!", "[.!?]", true, true},
      {__LINE__, "?", "[.!?]", true, true},
      {__LINE__, "!", "[!!?]", false, false},
      {__LINE__, "x", "[!!?]", true, true},
      {__LINE__, "p", "[a-f!o-z]", true, true},
      {__LINE__, "!", "[a!]", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + c.value + "\" Like \"" + c.pattern +
                 "\"");
    EXPECT_EQ(platform::Like(c.value, c.pattern), c.binary);
    EXPECT_EQ(platform::Like(c.value, c.pattern, false), c.binary);
    EXPECT_EQ(platform::Like(c.value, c.pattern, true), c.textCompare);
  }
}

TEST(Like, InvalidPatternsRaiseError93) {
  const char* patterns[] = {"[", "abc[", "[a-", "[z-a]", "x[9-0]y", "[!"};
  for (const char* pattern : patterns) {
    SCOPED_TRACE(pattern);
    try {
      platform::Like("abc", pattern);
      ADD_FAILURE() << "no error";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.Number(), 93);
    }
  }
  // The pattern is checked as a whole, even where the text stops matching
  // before the bad part.
  EXPECT_THROW(platform::Like("x", "a[z-a]"), platform::Error);
}

// Many stars against a long text that almost matches: a backtracking matcher
// would take exponential time here; this one finishes at once.
TEST(Like, ManyStarsStayPolynomial) {
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "*a";
  pattern += "b";
  const std::string text(5000, 'a');
  EXPECT_FALSE(platform::Like(text, pattern));
  EXPECT_TRUE(platform::Like(text + "b", pattern));
}

}  // namespace
