#include "editor/listing_ahead.h"

#include <system_error>
#include <utility>
#include <vector>

#include "editor/mark_tree.h"

namespace {

// What the collection asks for a folder (DiskIndex): its pattern, or none
// where the folder cannot be listed at all.
bool PatternOf(const std::string &folder, std::string *pattern) {
    if (folder.empty()) return false;
    *pattern = tree::JoinPath(folder, "*.*");
    return pattern->size() <= tree::kLongestPath;
}

}  // namespace

ListingAhead::ListingAhead(DiskAccess &here, DiskAccess &there, const std::string &root) : here_(here), there_(there) {
    std::string pattern;
    if (!PatternOf(root, &pattern)) return;
    // The root is the second thread's from the start, or the collection,
    // which asks for it first, would take the whole tree for its own.
    folders_.emplace(pattern, Folder{Lister::Ahead});
    try {
        ahead_ = std::thread(&ListingAhead::ListTree, this, root);
    } catch (const std::system_error &) {
        folders_.clear();  // no second thread: every listing is made here
    }
}

ListingAhead::~ListingAhead() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    if (ahead_.joinable()) ahead_.join();
}

bool ListingAhead::ListFolder(const std::string &pattern, listing::FolderEntries *out) {
    std::unique_lock<std::mutex> hold(lock_);
    auto found = folders_.find(pattern);
    if (found == folders_.end()) {
        folders_.emplace(pattern, Folder{Lister::Here});
        hold.unlock();
        return here_.ListFolder(pattern, out);
    }
    // An element stays where it is while others are added.
    Folder &folder = found->second;
    if (folder.lister == Lister::Ahead)
        listedAhead_.wait(hold, [&] { return folder.lister == Lister::AheadDone; });
    if (folder.lister != Lister::AheadDone) {  // asked again: asked of the disk again
        hold.unlock();
        return here_.ListFolder(pattern, out);
    }
    folder.lister = Lister::HandedOver;
    *out = std::move(folder.entries);
    return folder.listed;
}

void ListingAhead::ListTree(std::string root) {
    std::vector<std::string> waiting{std::move(root)};
    bool first = true;
    while (!waiting.empty()) {
        std::string folder = std::move(waiting.back());
        waiting.pop_back();
        std::string pattern;
        if (!PatternOf(folder, &pattern)) continue;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (stop_) return;
            // Come to from the other end already: its tree is the collection's.
            if (!first && !folders_.emplace(pattern, Folder{Lister::Ahead}).second) continue;
        }
        first = false;
        listing::FolderEntries entries;
        bool listed = there_.ListFolder(pattern, &entries);
        std::vector<std::string> below;
        if (listed)
            for (const std::string &name : entries.folders) below.push_back(tree::JoinPath(folder, name));
        {
            std::lock_guard<std::mutex> hold(lock_);
            Folder &done = folders_.at(pattern);
            done.listed = listed;
            done.entries = std::move(entries);
            done.lister = Lister::AheadDone;
        }
        listedAhead_.notify_all();
        // The first sub-folder goes last: this thread goes through the tree
        // from its end, towards the collection coming from its start.
        for (std::string &name : below) waiting.push_back(std::move(name));
    }
}
