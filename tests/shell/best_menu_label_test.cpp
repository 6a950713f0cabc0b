#include "shell/best_menu_label.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Label(int index, const char *name, size_t capacity = 260) {
    std::string label(capacity, '\x7f');
    BestMenuLabel(index, name, &label[0], capacity);
    EXPECT_NE(label.find('\0'), std::string::npos);
    return label.c_str();
}

TEST(BestMenuLabel, NumbersTheFirstTenAndShowsAmpersandsAsThemselves) {
    EXPECT_EQ(Label(0, "Jazz"), "&1 Jazz");
    EXPECT_EQ(Label(8, "Jazz"), "&9 Jazz");
    EXPECT_EQ(Label(9, "Jazz"), "1&0 Jazz");
    EXPECT_EQ(Label(10, "Jazz"), "Jazz");
    EXPECT_EQ(Label(3, "R&B &"), "&4 R&&B &&");
    EXPECT_EQ(Label(10, nullptr), "");
}

TEST(BestMenuLabel, LongNamesAreCutAtACharacterBoundary) {
    // 129 double-byte characters (lead 0x83, trail 0x5C) and one byte: 259
    // bytes, the longest name.
    std::string name;
    for (int i = 0; i < 129; ++i) name += "\x83\x5c";
    name += "x";
    std::string label = Label(9, name.c_str());
    EXPECT_EQ(label.size(), 4 + 254u);  // "1&0 " and 127 whole characters in 259 bytes
    EXPECT_EQ(label.substr(4), name.substr(0, 254));

    // A doubled '&' is never cut in half.
    EXPECT_EQ(Label(10, "ab&", 4), "ab");
    EXPECT_EQ(Label(10, "ab&", 5), "ab&&");
    EXPECT_EQ(Label(0, "abc", 3), "&1");
    EXPECT_EQ(Label(0, "abc", 1), "");
}

}  // namespace
