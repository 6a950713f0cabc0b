#include "editor/collection.h"

#include <cstring>

#include "utils/ansi_text.h"

namespace {

using tree::JoinPath;
using tree::kLongestPath;

bool BeginsWith(const char *entry, const std::string &prefix) {
    return ansi::CompareNoCaseN(entry, prefix.c_str(), prefix.size()) == 0;
}

bool IsMarkerOf(const char *entry, const std::string &path) {
    size_t length = std::strlen(entry);
    return length == path.size() + 1 && entry[path.size()] == '/' && BeginsWith(entry, path);
}

// The entries the MIDI tab leaves alone: files it does not show (ticked on
// the all-files tab), which no item of this tab stands for.
bool HiddenByMidiTab(const Collection &c, const char *entry) {
    return c.midiTab && !ansi::EndsWithNoCase(entry, ".mid") && c.paths.Kind(entry) == PathKind::File;
}

// Moves the cursor to where path's entries are.  Entries passed belong to no
// item: inside a walked folder they are stale and go, except what the MIDI
// tab does not show; at the top of a walk they lie outside the tree (bests
// ticked on the all-files tab, other drives) and stay.
void SeekItem(Collection &c, const std::string &path, size_t *cursor, bool top) {
    PathKind kind = c.paths.Kind(path.c_str());
    if (kind == PathKind::Missing) return;
    best::BestRecord &record = c.record;
    while (*cursor != record.Terminator() && ComesBefore(record.At(*cursor), path.c_str(), kind, c.paths)) {
        if (top || HiddenByMidiTab(c, record.At(*cursor)))
            *cursor = record.Next(*cursor);
        else
            record.RemoveEntry(cursor);
    }
}

// Whether entry is one of the folder's own: its bare path (the all-files
// tab's form), its marker (the MIDI tab's) or anything below it.  Either tab
// may have written the folder, and a best saved before the two forms were
// taken as one may even hold both, so they are handled alike.
bool OfFolder(const char *entry, const std::string &path, const std::string &below) {
    return ansi::EqualNoCase(entry, path.c_str()) || IsMarkerOf(entry, path) || BeginsWith(entry, below);
}

// An unchanged item keeps its entries: its own, its marker, and everything
// below a folder.
void KeepEntries(Collection &c, const std::string &path, bool folder, size_t *cursor) {
    best::BestRecord &record = c.record;
    if (!folder) {
        if (*cursor != record.Terminator() && ansi::EqualNoCase(record.At(*cursor), path.c_str()))
            *cursor = record.Next(*cursor);
        return;
    }
    std::string below = path + '\\';
    while (*cursor != record.Terminator() && OfFolder(record.At(*cursor), path, below)) *cursor = record.Next(*cursor);
}

// A changed item's old entries.  A folder's bare path and marker go on
// either tab, so that the folder is one state whichever tab wrote it.  On
// the MIDI tab a folder loses below it what that tab writes or shows (MIDI
// files, shortcuts, markers and folders); entries of other files below it
// were ticked on the all-files tab and stay.
void RemoveEntries(Collection &c, const std::string &path, bool folder, size_t *cursor) {
    best::BestRecord &record = c.record;
    if (!folder) {
        if (*cursor != record.Terminator() && ansi::EqualNoCase(record.At(*cursor), path.c_str()))
            record.RemoveEntry(cursor);
        return;
    }
    std::string below = path + '\\';
    while (*cursor != record.Terminator() && OfFolder(record.At(*cursor), path, below)) {
        const char *entry = record.At(*cursor);
        size_t length = std::strlen(entry);
        bool written = !c.midiTab || !BeginsWith(entry, below) || ansi::EndsWithNoCase(entry, ".mid") ||
                       ansi::EndsWithNoCase(entry, ".lnk") || entry[length - 1] == '/' ||
                       c.paths.Kind(entry) == PathKind::Folder;
        if (written)
            record.RemoveEntry(cursor);
        else
            *cursor = record.Next(*cursor);
    }
}

void WriteEntries(Collection &c, const std::string &path, bool folder, size_t *cursor) {
    best::BestRecord &record = c.record;
    if (c.midiTab && folder) {
        // The marker's place among the entries kept so far.
        *cursor = record.FirstEntry();
        SeekEntry(&record, cursor, path.c_str(), SeekPass::StepOver, KnownKind::Folder, c.paths);
        if (!ansi::EqualNoCase(record.At(*cursor), path.c_str())) record.InsertEntry(cursor, (path + '/').c_str());
    } else {
        record.InsertEntry(cursor, path.c_str());
    }
    if (folder) AddFolderContents(c, path, cursor);
}

}  // namespace

bool CollectChecks(Collection &c, const std::string &folder, size_t *cursor, tree::Item first, CollectFrom from) {
    if (from == CollectFrom::FirstEntry) *cursor = c.record.FirstEntry();
    bool changed = false;
    for (tree::Item item = first; item != tree::kNoItem; item = c.tree.NextSibling(item)) {
        uint32_t data = c.tree.Data(item);
        if (tree::IsShellNode(data)) {
            changed |= CollectChecks(c, std::string(), cursor, c.tree.FirstChild(item), CollectFrom::FirstEntry);
            continue;
        }
        unsigned state = c.tree.State(item);
        // By its kind: a folder found empty is still written as a folder.
        bool isFolder = !c.tree.IsFile(item);
        std::string path = JoinPath(folder, c.tree.Name(data & tree::kNameIndexMask));
        // No MIDI folder chosen yet, or a path no buffer of the program holds.
        if (path.empty() || path.size() > kLongestPath) continue;
        unsigned mark = tree::Mark(state);
        bool filledPartly = mark == tree::kPartly && (state & tree::kExpandedOnce);
        // A partly checked folder that was never filled cannot tell which of
        // its entries are meant: they all stay.
        bool keep = !filledPartly && (!(data & tree::kChangedBit) || mark == tree::kPartly);
        bool top = folder.empty();
        if (top) {
            // The items at the top need not come in the list's order: the
            // Desktop shows its own folders after My Computer's drives, in
            // the shell's order.  Each is sought from the first entry, and
            // one that only keeps its entries is not sought at all, since
            // nothing passed at the top goes.
            if (keep) continue;
            *cursor = c.record.FirstEntry();
        }
        SeekItem(c, path, cursor, top);

        if (filledPartly) {
            // The folder's items are what its listing showed: one listing
            // answers whether each is still there, instead of a query apiece.
            c.lister.List(path, Listing::Folders);
            changed |= CollectChecks(c, path, cursor, c.tree.FirstChild(item), CollectFrom::Cursor);
            continue;
        }
        if (keep) {
            KeepEntries(c, path, isFolder, cursor);
            continue;
        }
        RemoveEntries(c, path, isFolder, cursor);
        changed = true;
        if (state & tree::kChecked) WriteEntries(c, path, isFolder, cursor);
        c.tree.SetData(item, data & tree::kNameIndexMask);
    }
    return changed;
}

void AddFolderContents(Collection &c, const std::string &folder, size_t *cursor) {
    if (folder.empty()) return;
    for (const std::string &name : c.lister.List(folder, Listing::Folders)) {
        std::string below = JoinPath(folder, name);
        if (below.size() <= kLongestPath) AddFolderContents(c, below, cursor);
    }
    for (const std::string &name : c.lister.List(folder, c.midiTab ? Listing::MidiFiles : Listing::Files)) {
        std::string path = JoinPath(folder, name);
        if (path.size() > kLongestPath) continue;
        // The listing said it is a file: nothing more is asked of it.
        if (c.midiTab) SeekEntry(&c.record, cursor, path.c_str(), SeekPass::StepOver, KnownKind::File, c.paths);
        c.record.InsertEntry(cursor, path.c_str());
    }
}

unsigned RootMark(best::BestRecord &record, const std::string &midiFolder, PathQuery &paths) {
    size_t cursor = record.FirstEntry();
    if (cursor != record.Terminator() && ansi::EqualNoCase(record.At(cursor), midiFolder.c_str())) return tree::kChecked;
    SeekEntry(&record, &cursor, midiFolder.c_str(), SeekPass::StepOver, KnownKind::Ask, paths);
    const char *entry = record.At(cursor);
    if (cursor == record.Terminator() || !BeginsWith(entry, midiFolder)) return tree::kUnchecked;
    switch (entry[midiFolder.size()]) {
    case '\0':
    case '/': return tree::kChecked;
    case '\\': return tree::kPartly;
    default: return tree::kUnchecked;
    }
}

unsigned FolderMark(best::BestRecord &record, size_t *cursor, const std::string &path, bool midiTab,
                    PathQuery &paths) {
    SeekEntry(&record, cursor, path.c_str(), SeekPass::StepOver, KnownKind::Folder, paths);
    const char *entry = record.At(*cursor);
    if (*cursor == record.Terminator() || !BeginsWith(entry, path)) return tree::kUnchecked;
    switch (entry[path.size()]) {
    case '\0': return tree::kChecked;
    // The marker stands for the MIDI files alone: the all-files tab, which
    // shows every file, sees the folder partly checked.  Unticking it there
    // takes out the marker with the files all the same.
    case '/': return midiTab ? tree::kChecked : tree::kPartly;
    case '\\':
        break;
    default: return tree::kUnchecked;
    }
    if (!midiTab) return tree::kPartly;
    // The MIDI tab shows MIDI files only: a folder below which the best holds
    // only shortcuts or other files shows unchecked.
    std::string below = path + '\\';
    for (; *cursor != record.Terminator() && BeginsWith(record.At(*cursor), below); *cursor = record.Next(*cursor))
        if (ansi::EndsWithNoCase(record.At(*cursor), ".mid")) return tree::kPartly;
    return tree::kUnchecked;
}

bool FileListed(best::BestRecord &record, size_t *cursor, const std::string &path, PathQuery &paths) {
    SeekEntry(&record, cursor, path.c_str(), SeekPass::StepOver, KnownKind::File, paths);
    return *cursor != record.Terminator() && ansi::EqualNoCase(record.At(*cursor), path.c_str());
}
