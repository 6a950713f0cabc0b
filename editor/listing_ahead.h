// A collection's listings made ahead on a second thread (no windows.h).
// Where a collection lists every folder under a root (the whole MIDI folder
// ticked, as in the default best), the system's listing is most of its
// time, and one thread of it keeps one processor busy.  A second thread
// lists the same tree from its other end, each folder listed by whichever
// thread comes to it first, and a listing made ahead is handed over exactly
// as the collection's own call would have made it, a failure as a failure.
#ifndef TIVORN_EDITOR_LISTING_AHEAD_H
#define TIVORN_EDITOR_LISTING_AHEAD_H

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "editor/disk_index.h"

class ListingAhead : public DiskAccess {
public:
    // here: the disk of the thread that asks; there: the second thread's own,
    // which lists beside it.  root: the folder whose tree is listed ahead.
    ListingAhead(DiskAccess &here, DiskAccess &there, const std::string &root);
    ~ListingAhead();
    ListingAhead(const ListingAhead &) = delete;
    ListingAhead &operator=(const ListingAhead &) = delete;

    bool ListFolder(const std::string &pattern, listing::FolderEntries *out) override;
    PathKind Attributes(const char *path) override { return here_.Attributes(path); }

private:
    enum class Lister { Here, Ahead, AheadDone, HandedOver };
    struct Folder {
        explicit Folder(Lister by) : lister(by) {}
        Lister lister;
        bool listed = false;
        listing::FolderEntries entries;
    };

    void ListTree(std::string root);

    DiskAccess &here_;
    DiskAccess &there_;
    std::mutex lock_;
    std::condition_variable listedAhead_;
    // By pattern (the folder joined with "*.*"), as the collection asks.
    std::unordered_map<std::string, Folder> folders_;
    bool stop_ = false;
    std::thread ahead_;
};

#endif
