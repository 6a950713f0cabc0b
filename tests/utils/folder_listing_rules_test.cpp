#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utils/folder_listing.h"

// The cases of file names are covered through the DLL's ListFolder; these
// are the filter forms it never receives from the program.
TEST(ListingFilter, WildcardsAndLiteralFilters) {
    for (const char *filter : {static_cast<const char *>(nullptr), "", "*", "*.*"})
        EXPECT_TRUE(listing::PassesFilter("x.midi", filter));
    EXPECT_TRUE(listing::PassesFilter("Readme.TXT", "readme.txt"));
    EXPECT_FALSE(listing::PassesFilter("other.txt", "readme.txt"));
    EXPECT_FALSE(listing::PassesFilter("xmid", "*.mid"));
    EXPECT_TRUE(listing::IsDotEntry(".."));
    EXPECT_FALSE(listing::IsDotEntry("..."));
}

TEST(ListingOrder, NamesEqualButForCaseKeepAFixedOrder) {
    std::vector<std::string> names = {"b", "a", "~", "A", "Z", "\x83\x5c", "_"};
    listing::SortNames(&names);
    EXPECT_EQ(names, (std::vector<std::string>{"_", "A", "a", "b", "Z", "~", "\x83\x5c"}));
}
