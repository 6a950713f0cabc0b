#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "testing/win_test_support.h"
#include "utils/folder_listing.h"
#include "utils/folder_listing_calls.h"

namespace {

// A search the system ends with an error part way (the network, a drive
// unplugged) gives no listing at all, never the names read before it.
int g_entriesBeforeCut;
BOOL WINAPI CutShort(HANDLE search, WIN32_FIND_DATAW *entry) {
    if (g_entriesBeforeCut-- > 0) return FindNextFileW(search, entry);
    SetLastError(ERROR_UNEXP_NET_ERR);
    return FALSE;
}

TEST(ListEntries, AListingCutShortIsNoListing) {
    tt::ScratchFolder scratch;
    for (const char *name : {"a.mid", "b.mid", "c.mid"}) scratch.WriteFile(name, {'x'});
    listing::FolderEntries entries;
    for (int cut : {2, 100}) {
        g_entriesBeforeCut = cut;
        bool listed =
            listing::ListEntries(scratch.Join("*.*").c_str(), &entries, listing::ShortNames::Volume, CutShort);
        EXPECT_EQ(listed, cut == 100);
        EXPECT_EQ(entries.files, cut == 100 ? (std::vector<std::string>{"a.mid", "b.mid", "c.mid"})
                                             : std::vector<std::string>{});
    }
}

}  // namespace
