#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>

#include "platform/error.h"
#include "platform/number_internal.h"

namespace {

// Runs f and returns the runtime error number it raised, or 0.
template <typename F>
int ErrorOf(F f) {
  try {
    f();
  } catch (const platform::Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(Val, ReadsTheLeadingNumber) {
  struct Case {
    int line;
    std::string text;
    double expected;
  };
  const Case cases[] = {
      {__LINE__, "", 0},
      {__LINE__, "42", 42},
      {__LINE__, "  42 apples", 42},
      {__LINE__, "4 2", 42},
      {__LINE__, "-1.5e3x", -1500},
      {__LINE__, "1.5.5", 1.5},
      {__LINE__, "1e", 1},
      {__LINE__, "1,000", 1},
      {__LINE__, "$5", 0},
      {__LINE__, "&H10", 16},
      {__LINE__, "&hFFFF", -1},
      {__LINE__, "&H10000", 65536},
      {__LINE__, "&O17", 15},
      {__LINE__, "&HFFFF&", 65535},
      {__LINE__, "&Q1", 0},
      {__LINE__, "0001.2500", 1.25},
      {__LINE__, "1D2", 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + c.text + "\"");
    EXPECT_DOUBLE_EQ(platform::Val(c.text), c.expected);
  }
}

TEST(Val, RaisesOnOverflowAndMisplacedSuffix) {
  EXPECT_EQ(ErrorOf([] { platform::Val("1e400"); }), platform::err::kOverflow);
  EXPECT_EQ(ErrorOf([] { platform::Val("&H123456789"); }), platform::err::kOverflow);
  EXPECT_EQ(ErrorOf([] { platform::Val("&H12345%"); }), platform::err::kOverflow);
  EXPECT_EQ(ErrorOf([] { platform::Val("2.5%"); }), platform::err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { platform::Val("1e-400"); }), 0);
  EXPECT_EQ(platform::Val("1e-400"), 0.0);
}

TEST(NumberOf, RoundsHalfToEvenIntoThirtyTwoBits) {
  struct Case {
    int line;
    std::string text;
    std::int32_t expected;
    int error;
  };
  const Case cases[] = {
      {__LINE__, "2.5", 2, 0},
      {__LINE__, "3.5", 4, 0},
      {__LINE__, "-2.5", -2, 0},
      {__LINE__, "40 chars", 40, 0},
      {__LINE__, "abc", 0, 0},
      {__LINE__, "2147483647.4", 2147483647, 0},
      {__LINE__, "2147483647.5", 0, platform::err::kOverflow},
      {__LINE__, "-2147483648.5", -2147483648, 0},
      {__LINE__, "1e10", 0, platform::err::kOverflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + c.text + "\"");
    std::int32_t value = 0;
    EXPECT_EQ(ErrorOf([&] { value = platform::NumberOf(c.text); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(value, c.expected);
    }
  }
}

TEST(IsNumeric, WholeTextMustBeANumber) {
  struct Case {
    int line;
    std::string text;
    bool numeric;
    double value;
  };
  const Case cases[] = {
      {__LINE__, "12", true, 12},         {__LINE__, " -12.5 ", true, -12.5},
      {__LINE__, "+.5", true, 0.5},       {__LINE__, "5.", true, 5},
      {__LINE__, "1,234,5", true, 12345}, {__LINE__, "1e3", true, 1000},
      {__LINE__, "1D-2", true, 0.01},     {__LINE__, "12-", true, -12},
      {__LINE__, "(12)", true, -12},      {__LINE__, "$12", true, 12},
      {__LINE__, "&H1F", true, 31},       {__LINE__, "&O10", true, 8},
      {__LINE__, "", false, 0},           {__LINE__, " ", false, 0},
      {__LINE__, ".", false, 0},          {__LINE__, "-", false, 0},
      {__LINE__, ",5", false, 0},         {__LINE__, "1.2.3", false, 0},
      {__LINE__, "--1", false, 0},        {__LINE__, "-1-", false, 0},
      {__LINE__, "(12", false, 0},        {__LINE__, "1e", false, 0},
      {__LINE__, "1e400", false, 0},      {__LINE__, "12abc", false, 0},
      {__LINE__, "True", false, 0},       {__LINE__, "&H", false, 0},
      {__LINE__, "1 2", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + c.text + "\"");
    EXPECT_EQ(platform::IsNumeric(c.text), c.numeric);
    const auto value = platform::ReadNumber(c.text);
    ASSERT_EQ(value.has_value(), c.numeric);
    if (value) {
      EXPECT_DOUBLE_EQ(*value, c.value);
    }
  }
}

TEST(StrictConversions, RaiseTypeMismatchAndOverflow) {
  struct Case {
    int line;
    std::string text;
    int cint;  // expected CInt, when cintError is 0
    int cintError;
    int clngError;
  };
  const Case cases[] = {
      {__LINE__, "12", 12, 0, 0},
      {__LINE__, " 2.5 ", 2, 0, 0},
      {__LINE__, "3.5", 4, 0, 0},
      {__LINE__, "-0.5", 0, 0, 0},
      {__LINE__, "10,123", 10123, 0, 0},
      {__LINE__, "&H7FFF", 32767, 0, 0},
      {__LINE__, "32767.5", 0, platform::err::kOverflow, 0},
      {__LINE__, "-32768.5", -32768, 0, 0},
      {__LINE__, "40000", 0, platform::err::kOverflow, 0},
      {__LINE__, "3e9", 0, platform::err::kOverflow, platform::err::kOverflow},
      {__LINE__, "x", 0, platform::err::kTypeMismatch, platform::err::kTypeMismatch},
      {__LINE__, "", 0, platform::err::kTypeMismatch, platform::err::kTypeMismatch},
      {__LINE__, "12abc", 0, platform::err::kTypeMismatch, platform::err::kTypeMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + c.text + "\"");
    std::int16_t value = 0;
    EXPECT_EQ(ErrorOf([&] { value = platform::CInt(c.text); }), c.cintError);
    if (c.cintError == 0) {
      EXPECT_EQ(value, c.cint);
    }
    EXPECT_EQ(ErrorOf([&] { platform::CLng(c.text); }), c.clngError);
  }
}

TEST(StrictConversions, TypedValues) {
  using platform::Variant;
  EXPECT_EQ(platform::CInt(Variant::MakeEmpty()), 0);
  EXPECT_EQ(platform::CInt(Variant::FromBoolean(true)), -1);
  EXPECT_EQ(platform::CLng(Variant::FromDouble(2.5)), 2);
  EXPECT_EQ(platform::CByte(Variant::FromText("255.4")), 255);
  EXPECT_EQ(ErrorOf([] { platform::CByte(Variant::FromInteger(-1)); }), platform::err::kOverflow);
  EXPECT_EQ(ErrorOf([] { platform::CLng(Variant::MakeNull()); }), 94);
  // &H and &O texts wrap at the width of the conversion.
  EXPECT_EQ(platform::CInt("&HFFFF"), -1);
  EXPECT_EQ(platform::CLng("&HFFFF"), 65535);
  EXPECT_EQ(platform::CLng("&HFFFFFFFF"), -1);
  EXPECT_EQ(platform::CByte("&HFF"), 255);
  EXPECT_EQ(ErrorOf([] { platform::CInt("&H10000"); }), platform::err::kOverflow);
  EXPECT_EQ(ErrorOf([] { platform::CByte("&H100"); }), platform::err::kOverflow);
  EXPECT_TRUE(platform::IsNumeric(Variant::MakeEmpty()));
  EXPECT_FALSE(platform::IsNumeric(Variant::MakeNull()));
  EXPECT_FALSE(platform::IsNumeric(Variant::FromDate({1.0})));
}

TEST(Round, HalvesToEven) {
  EXPECT_EQ(platform::Round(2.5), 2.0);
  EXPECT_EQ(platform::Round(3.5), 4.0);
  EXPECT_EQ(platform::Round(-2.5), -2.0);
  EXPECT_DOUBLE_EQ(platform::Round(1.2345, 2), 1.23);
  EXPECT_EQ(ErrorOf([] { platform::Round(1.0, -1); }), platform::err::kInvalidProcedureCall);
}

// A number text gives the double nearest to its value (as reading the
// digits with from_chars does), whether the text is ASCII or has other
// characters around the number, and whatever the count of digits.
TEST(ParseNumberText, GivesTheNearestDouble) {
  using platform::number::ParseNumberText;
  using platform::number::ToDouble;
  const auto nearest = [](const std::string& plain) {
    double value = 0;
    std::from_chars(plain.data(), plain.data() + plain.size(), value);
    return value;
  };
  const auto bits = [](double value) {
    std::uint64_t out = 0;
    std::memcpy(&out, &value, sizeof out);
    return out;
  };
  const auto check = [&](const std::string& text, const std::string& plain) {
    SCOPED_TRACE(text);
    const double expected = nearest(plain);
    for (const std::string& spelt :
         {text, "\xC2\xA0" + text + "\xE3\x80\x80", "-" + text, "(" + text + ")"}) {
      SCOPED_TRACE(spelt);
      const auto read = ParseNumberText(spelt);
      ASSERT_TRUE(read.has_value());
      const bool negative = spelt.front() == '-' || spelt.front() == '(';
      EXPECT_EQ(bits(ToDouble(*read)), bits(negative && expected != 0 ? -expected : expected));
    }
  };
  const struct {
    const char* text;
    const char* plain;
  } cases[] = {
      {"0", "0"},
      {"125.00", "125"},
      {"0.1", "0.1"},
      {"4.35", "4.35"},
      {"1,234.5", "1234.5"},
      {"123456789012345", "123456789012345"},
      {"1234567890123456", "1234567890123456"},
      {"9007199254740993", "9007199254740993"},
      {"0.000001", "0.000001"},
      {"99999999999999.99", "99999999999999.99"},
      {"1e22", "1e22"},
      {"1e23", "1e23"},
      {"1.5D-22", "1.5e-22"},
      {"123.456e-20", "123.456e-20"},
      {"2.2250738585072014e-308", "2.2250738585072014e-308"},
      {"1.7976931348623157e308", "1.7976931348623157e308"},
  };
  for (const auto& c : cases) check(c.text, c.plain);

  std::mt19937_64 random(5);
  for (int i = 0; i < 3000; ++i) {
    std::string digits = std::to_string(random() % 9 + 1);
    for (int n = static_cast<int>(random() % 17); n > 0; --n) digits += char('0' + random() % 10);
    const std::string text = digits + "e" + std::to_string(static_cast<int>(random() % 61) - 30);
    check(text, text);
  }
}

}  // namespace
