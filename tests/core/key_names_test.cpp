#include <gtest/gtest.h>

#include "input/key_names.h"

namespace tarnel {
namespace {

TEST(KeyNames, EightyOneKeysAndPrefixesInTheirOrder) {
  TStringList names = BuildKeyNames();
  ASSERT_EQ(names.Count(), 81);
  EXPECT_EQ(names[0], "112=F1");
  EXPECT_EQ(names[80], "46=DEL");
  EXPECT_EQ(KeyName(names, 116, false, false, false), "F5");
  EXPECT_EQ(KeyName(names, 116, true, false, false), "CTRL+F5");
  EXPECT_EQ(KeyName(names, 112, true, true, false), "ALT+CTRL+F1");
  EXPECT_EQ(KeyName(names, 112, true, true, true), "SHIFT+ALT+CTRL+F1");
  EXPECT_EQ(KeyName(names, 104, false, false, false), "NUM8");
  // Arrows, Enter, Escape and the modifiers have no name.
  for (int code : {13, 27, 37, 38, 39, 40, 16, 17, 18, 32, 8, 0})
    EXPECT_EQ(KeyName(names, code, true, false, false), "") << code;
  // The entry editor writes the same order in mixed case: Ctrl+Shift+F5
  // pressed is "Shift+Ctrl+F5", which the lookup finds as SHIFT+CTRL+F5.
  EXPECT_EQ(EditorKeyName(names, 116, true, false, true), "Shift+Ctrl+F5");
  EXPECT_EQ(EditorKeyName(names, 112, true, true, true), "Shift+Alt+Ctrl+F1");
  EXPECT_EQ(EditorKeyName(names, 13, true, false, false), "");
}

}  // namespace
}  // namespace tarnel
