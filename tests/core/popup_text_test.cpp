#include <gtest/gtest.h>

#include "stats/popup_text.h"

namespace tarnel {
namespace {

// The walk goes from the end: a comma breaks the line when a colon, quote,
// bracket, full stop or backquote follows it in the text.
TEST(StatsPopupText, CommasBeforeLabelledPartsBreakLines) {
  EXPECT_EQ(StatsPopupText("sword,type:weapon,weight:5,"), "sword\ntype: weapon\nweight: 5");
  EXPECT_EQ(StatsPopupText("\"Sword\",level 3,x"), "\"Sword\", level 3, x");
  EXPECT_EQ(StatsPopupText("a,(b),c"), "a\n(b), c");
  EXPECT_EQ(StatsPopupText("a,b"), "a, b");
  EXPECT_EQ(StatsPopupText(""), "");
}

}  // namespace
}  // namespace tarnel
