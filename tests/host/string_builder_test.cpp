#include <gtest/gtest.h>

#include "host/tessel/string_builder.h"

namespace tessel {
namespace {

TEST(StringBuilder, LengthCountsCharactersNotBytes) {
  struct Row {
    int line;
    std::vector<const char*> pieces;
    int length;
  } rows[] = {
      {__LINE__, {}, 0},
      {__LINE__, {"ISA*00*", "~"}, 8},
      {__LINE__, {"JOSÉ", "Ü"}, 5},
      {__LINE__, {"€", "\xF0\x9F\x98\x80"}, 2},  // 3- and 4-byte characters
      {__LINE__, {"a\xFF", "b"}, 3},             // an invalid byte counts as one
      {__LINE__, {"", "", "x"}, 1},
      {__LINE__, {"line\r\n", "next"}, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    StringBuilder builder;
    std::string expected;
    for (const char* piece : row.pieces) {
      builder.Append(piece);
      expected += piece;
    }
    EXPECT_EQ(builder.Length(), row.length);
    EXPECT_EQ(builder.Text(), expected);
  }
}

TEST(StringBuilder, ClearStartsAgain) {
  StringBuilder builder;
  builder.Append("abc").Append("déf");
  builder.Clear();
  EXPECT_EQ(builder.Length(), 0);
  EXPECT_EQ(builder.Text(), "");
  builder.Append("x");
  EXPECT_EQ(builder.Length(), 1);
}

TEST(StringBuilder, KeepsEmbeddedNulBytes) {
  StringBuilder builder;
  builder.Append(std::string_view("a\0b", 3));
  EXPECT_EQ(builder.Text(), std::string("a\0b", 3));
  EXPECT_EQ(builder.Length(), 3);
}

}  // namespace
}  // namespace tessel
