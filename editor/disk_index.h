// What one collection, or one fill of the tree, asks of the disk, asked once
// (no windows.h).  Each folder is listed in a single pass that gives its
// sub-folders and its files together, and the kind of every name a listing
// showed is answered from that listing; any other path is asked of the
// system once.  At collection scale the system's price per call is most of
// the cost, and this keeps it to one listing per folder and nothing per file.
//
// An index lives for one such operation only: what it knows is not kept past
// a moment at which the user may have changed the disk.
#ifndef TIVORN_EDITOR_DISK_INDEX_H
#define TIVORN_EDITOR_DISK_INDEX_H

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "editor/collection.h"
#include "editor/entry_order.h"
#include "utils/folder_listing.h"

// The system's side: the Win32 listing and attribute query, or a test's table.
class DiskAccess {
public:
    // pattern: a folder joined with "*.*".  False when it cannot be listed.
    virtual bool ListFolder(const std::string &pattern, listing::FolderEntries *out) = 0;
    virtual PathKind Attributes(const char *path) = 0;

protected:
    ~DiskAccess() = default;
};

class DiskIndex : public PathQuery, public FolderLister {
public:
    explicit DiskIndex(DiskAccess &disk) : disk_(disk) {}
    DiskIndex(const DiskIndex &) = delete;
    DiskIndex &operator=(const DiskIndex &) = delete;

    PathKind Kind(const char *path) override;
    std::vector<std::string> List(const std::string &folder, Listing what) override;
    bool CanList(const std::string &folder) override { return Entries(folder) != nullptr; }

private:
    // The folder's listing, made now if it has not been; null when the folder
    // cannot be listed or its pattern would not fit a path.
    const listing::FolderEntries *Entries(const std::string &folder);

    DiskAccess &disk_;
    // By folded path (ASCII letters in lower case, as ansi::CompareNoCase
    // compares them).  A folder that could not be listed maps to nothing.
    std::unordered_map<std::string, listing::FolderEntries> listed_;
    std::unordered_set<std::string> unlisted_;
    std::unordered_map<std::string, PathKind> asked_;
};

#endif
