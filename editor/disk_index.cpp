#include "editor/disk_index.h"

#include <algorithm>
#include <cstring>

#include "editor/mark_tree.h"
#include "utils/ansi_text.h"

namespace {

// The key under which a path is known: letter case does not tell paths
// apart, and a trail byte is never folded as a letter.
std::string Folded(const char *path, size_t length) {
    std::string key(path, length);
    for (size_t i = 0; i < key.size();) {
        size_t n = ansi::CharLength(key.c_str() + i);
        if (n == 1 && key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] - 'A' + 'a');
        i += n;
    }
    return key;
}

std::string Folded(const std::string &path) { return Folded(path.c_str(), path.size()); }

// Whether a sorted listing holds name (in any letter case).
bool Holds(const std::vector<std::string> &names, const char *name) {
    auto at = std::lower_bound(names.begin(), names.end(), name, [](const std::string &listed, const char *sought) {
        return ansi::CompareNoCase(listed.c_str(), sought) < 0;
    });
    return at != names.end() && ansi::EqualNoCase(at->c_str(), name);
}

}  // namespace

const listing::FolderEntries *DiskIndex::Entries(const std::string &folder) {
    std::string key = Folded(folder);
    auto known = listed_.find(key);
    if (known != listed_.end()) return &known->second;
    if (unlisted_.count(key)) return nullptr;
    std::string pattern = tree::JoinPath(folder, "*.*");
    listing::FolderEntries entries;
    if (folder.empty() || pattern.size() > tree::kLongestPath || !disk_.ListFolder(pattern, &entries)) {
        unlisted_.insert(std::move(key));
        return nullptr;
    }
    return &listed_.emplace(std::move(key), std::move(entries)).first->second;
}

std::vector<std::string> DiskIndex::List(const std::string &folder, Listing what) {
    const listing::FolderEntries *entries = Entries(folder);
    if (!entries) return {};
    if (what == Listing::Folders) return entries->folders;
    if (what == Listing::Files) return entries->files;
    std::vector<std::string> midi;
    for (const std::string &name : entries->files)
        if (listing::PassesFilter(name.c_str(), "*.mid")) midi.push_back(name);
    return midi;
}

PathKind DiskIndex::Kind(const char *path) {
    // A name in a folder listed already: the listing said what it is.
    if (const char *separator = ansi::LastSeparator(path)) {
        auto known = listed_.find(Folded(path, static_cast<size_t>(separator - path)));
        const char *name = separator + 1;
        if (known != listed_.end() && *name) {
            if (Holds(known->second.folders, name)) return PathKind::Folder;
            if (Holds(known->second.files, name)) return PathKind::File;
            // Not shown by the listing (a protected entry, say): asked below.
        }
    }
    std::string key = Folded(path, std::strlen(path));
    auto asked = asked_.find(key);
    if (asked != asked_.end()) return asked->second;
    PathKind kind = disk_.Attributes(path);
    asked_.emplace(std::move(key), kind);
    return kind;
}
