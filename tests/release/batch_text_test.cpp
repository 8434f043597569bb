// BatchText after Clear(): whatever the text was before (one short record,
// several blocks, cut back), the next text must read exactly like a text
// made new, although the first block's memory is used again.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "release/batch_text.h"

namespace quillon {
namespace {

TEST(BatchText, AfterClearItIsLikeNew) {
  const std::string block(BatchText::kBlockBytes, 'b');  // a block's worth
  const struct Row {
    int line;
    std::function<void(BatchText&)> before;
  } rows[] = {
      {__LINE__, [](BatchText&) {}},
      {__LINE__, [](BatchText& t) { t.Append("ISA*00~\n"); }},
      {__LINE__,
       [&](BatchText& t) {
         for (int i = 0; i < 3; ++i) t.Append(block);
       }},
      {__LINE__,
       [&](BatchText& t) {
         t.Append(block);
         t.Append("tail");
         t.Truncate(10);
       }},
      {__LINE__, [&](BatchText& t) { t.Append(block + block); }},  // one piece over a block
      {__LINE__,
       [](BatchText& t) {
         t.Append("x");
         t.Clear();
         t.Append("y");
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    BatchText text;
    row.before(text);
    text.Clear();
    EXPECT_TRUE(text.Empty());
    EXPECT_TRUE(text.Blocks().empty());
    EXPECT_EQ(text, "");

    // A short record, then pieces that fill the first block and go beyond.
    std::string expected = "ST*837*0001~\n";
    text.Append(expected);
    EXPECT_EQ(text.Blocks().size(), 1u);
    const std::string filler(BatchText::kBlockBytes * 7 / 10, 'f');
    for (const std::string& piece : {filler, std::string("g"), filler}) {
      text.Append(piece);
      expected += piece;
    }
    EXPECT_EQ(text.Size(), expected.size());
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.Substring(5), expected.substr(5));
    std::string joined;
    for (const std::string_view b : text.Blocks()) {
      EXPECT_FALSE(b.empty());
      joined += b;
    }
    EXPECT_EQ(joined, expected);
  }
}

}  // namespace
}  // namespace quillon
