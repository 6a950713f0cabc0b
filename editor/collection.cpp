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

// The folders below folder that cannot be listed now (a junction to a drive
// unplugged, a share with a passing error, someone else's folder), the
// outermost of each branch.  Nothing can be said of what they hold, so a
// folder written from the disk keeps their entries as they are.
void FindUnseen(Collection &c, const std::string &folder, std::vector<std::string> *unseen) {
    for (const std::string &name : c.lister.List(folder, Listing::Folders)) {
        std::string below = JoinPath(folder, name);
        if (below.size() > kLongestPath) continue;
        if (c.lister.CanList(below))
            FindUnseen(c, below, unseen);
        else
            unseen->push_back(std::move(below));
    }
}

bool InUnseen(const char *entry, const std::vector<std::string> &unseen) {
    for (const std::string &folder : unseen)
        if (OfFolder(entry, folder, folder + '\\')) return true;
    return false;
}

bool HoldsUnseen(const std::string &folder, const std::vector<std::string> &unseen) {
    std::string below = folder + '\\';
    for (const std::string &path : unseen)
        if (BeginsWith(path.c_str(), below)) return true;
    return false;
}

// A changed item's old entries.  A folder's bare path and marker go on
// either tab, so that the folder is one state whichever tab wrote it.  On
// the MIDI tab a folder loses below it what that tab writes or shows (MIDI
// files, shortcuts, markers and folders); entries of other files below it
// were ticked on the all-files tab and stay, and so do those of the unseen
// folders below it.
void RemoveEntries(Collection &c, const std::string &path, bool folder, size_t *cursor,
                   const std::vector<std::string> &unseen) {
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
        bool written = !InUnseen(entry, unseen) &&
                       (!c.midiTab || !BeginsWith(entry, below) || ansi::EndsWithNoCase(entry, ".mid") ||
                        ansi::EndsWithNoCase(entry, ".lnk") || entry[length - 1] == '/' ||
                        c.paths.Kind(entry) == PathKind::Folder);
        if (written)
            record.RemoveEntry(cursor);
        else
            *cursor = record.Next(*cursor);
    }
}

void WriteItems(Collection &c, const std::string &folder, size_t *cursor, const std::vector<std::string> &unseen);

// A checked item anew.  A folder holding an unseen one is not whole as far
// as anyone can tell: it is written as its items, as a frozen folder is.
void WriteEntries(Collection &c, const std::string &path, bool folder, size_t *cursor,
                  const std::vector<std::string> &unseen) {
    best::BestRecord &record = c.record;
    if (folder && HoldsUnseen(path, unseen)) {
        WriteItems(c, path, cursor, unseen);
        return;
    }
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

// The sub-folders and files of folder one by one, in the list's order; an
// unseen folder's entries are stepped over where they lie.
void WriteItems(Collection &c, const std::string &folder, size_t *cursor, const std::vector<std::string> &unseen) {
    best::BestRecord &record = c.record;
    for (const std::string &name : c.lister.List(folder, Listing::Folders)) {
        std::string below = JoinPath(folder, name);
        if (below.size() > kLongestPath) continue;
        if (c.lister.CanList(below)) {
            WriteEntries(c, below, true, cursor, unseen);
            continue;
        }
        // On the MIDI tab entries it does not write lie in between.
        SeekEntry(&record, cursor, below.c_str(), SeekPass::StepOver, KnownKind::Folder, c.paths);
        std::string inside = below + '\\';
        while (*cursor != record.Terminator() && OfFolder(record.At(*cursor), below, inside))
            *cursor = record.Next(*cursor);
    }
    for (const std::string &name : c.lister.List(folder, c.midiTab ? Listing::MidiFiles : Listing::Files)) {
        std::string path = JoinPath(folder, name);
        if (path.size() > kLongestPath) continue;
        if (c.midiTab) SeekEntry(&record, cursor, path.c_str(), SeekPass::StepOver, KnownKind::File, c.paths);
        record.InsertEntry(cursor, path.c_str());
    }
}

// What a collection does with an item's entries.
enum class Take {
    Walk,   // child by child
    Keep,   // as they are
    Write,  // anew from the item's mark
};

Take HowToTake(Collection &c, unsigned state, uint32_t data, bool isFolder, const std::string &path) {
    unsigned mark = tree::Mark(state);
    bool itemChanged = (data & tree::kChangedBit) != 0;
    // A frozen folder was opened but never filled: there is nothing to
    // walk, and its entries stay whatever its mark.
    bool filledPartly = mark == tree::kPartly && (state & tree::kExpandedOnce) && !tree::IsFrozen(data);
    // Written as a whole folder, a folder holding a frozen one would
    // replace the frozen folder's entries with its listing: it is walked
    // child by child instead.
    if (filledPartly || (itemChanged && tree::HoldsFrozen(data))) return Take::Walk;
    // A partly checked folder that was never filled cannot tell which of
    // its entries are meant: they all stay.  A checked folder that cannot
    // be listed now cannot be written: its entries stay too, and its
    // change waits for a later collection.
    if (!itemChanged || mark == tree::kPartly || (isFolder && mark == tree::kChecked && !c.lister.CanList(path)))
        return Take::Keep;
    return Take::Write;
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
        bool itemChanged = (data & tree::kChangedBit) != 0;
        Take take = HowToTake(c, state, data, isFolder, path);
        bool walk = take == Take::Walk;
        bool keep = take == Take::Keep;
        bool top = folder.empty();
        if (top) {
            // The items at the top need not come in the list's order: the
            // Desktop shows its own folders after My Computer's drives, in
            // the Shell's order.  Each is sought from the first entry, and
            // one that only keeps its entries is not sought at all, since
            // nothing passed at the top goes.
            if (keep) continue;
            *cursor = c.record.FirstEntry();
        }
        SeekItem(c, path, cursor, top);

        if (walk) {
            // The folder's items are what its listing showed: one listing
            // answers whether each is still there, instead of a query apiece.
            c.lister.List(path, Listing::Folders);
            changed |= CollectChecks(c, path, cursor, c.tree.FirstChild(item), CollectFrom::Cursor);
            // Its own entry and marker, passed by the walk, have gone.
            if (itemChanged) {
                c.tree.SetData(item, data & ~tree::kChangedBit);
                changed = true;
            }
            continue;
        }
        if (keep) {
            KeepEntries(c, path, isFolder, cursor);
            continue;
        }
        // Unticked, a folder goes whole: what lies below it was meant too.
        std::vector<std::string> unseen;
        bool checked = (state & tree::kChecked) != 0;
        if (checked && isFolder) FindUnseen(c, path, &unseen);
        size_t start = *cursor;
        RemoveEntries(c, path, isFolder, cursor, unseen);
        // The removal stepped over the entries it kept; the items go in
        // among them from where the folder's entries begin (nothing before
        // that place moved).
        if (!unseen.empty()) *cursor = start;
        changed = true;
        if (checked) WriteEntries(c, path, isFolder, cursor, unseen);
        c.tree.SetData(item, data & ~tree::kChangedBit);
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

namespace {

// How many of names make a path that fits when joined to folder.
size_t Fitting(const std::string &folder, const std::vector<std::string> &names) {
    size_t count = 0;
    for (const std::string &name : names) count += JoinPath(folder, name).size() <= kLongestPath ? 1 : 0;
    return count;
}

// A folder not filled keeps its entries as they are, so it shows what they
// say: a change made before it was opened is given up.
void FreezeUnfilled(Collection &c, tree::Item folder, const std::string &path) {
    unsigned mark = tree::Mark(c.tree.State(folder));
    if (c.tree.Data(folder) & tree::kChangedBit) {
        size_t cursor = c.record.FirstEntry();
        mark = c.record.IsNone() ? tree::kUnchecked : FolderMark(c.record, &cursor, path, c.midiTab, c.paths);
    }
    tree::Freeze(c.tree, folder, mark);
}

}  // namespace

FillEnd FillOpenedFolder(Collection &c, tree::FillSite &site, tree::Item folder, bool altIcons) {
    best::BestRecord &record = c.record;
    bool noList = record.IsNone();
    uint32_t data = c.tree.Data(folder);
    unsigned inherited = tree::Mark(c.tree.State(folder));
    std::string path;
    tree::ItemPath(c.tree, folder, &path);
    // No MIDI folder chosen yet: a root with nothing to show.
    if (path.empty()) {
        site.DropExpandButton(folder);
        return FillEnd::Empty;
    }
    std::vector<std::string> folders, files;
    FillEnd end = FillEnd::NotListed;
    if (c.lister.CanList(path)) {
        folders = c.lister.List(path, Listing::Folders);
        files = c.lister.List(path, c.midiTab ? Listing::MidiFiles : Listing::Files);
        if (folders.empty() && files.empty()) {
            site.DropExpandButton(folder);
            return FillEnd::Empty;
        }
        end = Fitting(path, folders) + Fitting(path, files) > site.NameRoom() ? FillEnd::NoRoom : FillEnd::Filled;
    }
    if (end != FillEnd::Filled) {
        FreezeUnfilled(c, folder, path);
        return end;
    }

    bool lookUp = inherited == tree::kPartly;
    uint32_t changedBit = data & tree::kChangedBit;
    size_t cursor = record.FirstEntry();
    for (const std::string &name : folders) {
        std::string child = JoinPath(path, name);
        if (child.size() > kLongestPath) continue;
        unsigned mark = !lookUp ? inherited
                        : noList ? tree::kUnchecked
                                 : FolderMark(record, &cursor, child, c.midiTab, c.paths);
        site.InsertChild(folder, name, child, false, mark, changedBit);
    }
    // The folder's own files come after everything below its sub-folders in
    // the entry list's order, so the cursor goes on from where the folders
    // left it: a pass from the first entry again would step over all of
    // those entries a second time.
    unsigned fileBits = altIcons ? tree::kAltFileImages : 0;
    for (const std::string &name : files) {
        std::string file = JoinPath(path, name);
        if (file.size() > kLongestPath) continue;
        unsigned mark;
        if (changedBit)
            mark = lookUp ? tree::kUnchecked : inherited;
        else
            mark = !noList && FileListed(record, &cursor, file, c.paths) ? tree::kChecked : tree::kUnchecked;
        site.InsertChild(folder, name, file, true, mark | fileBits, 0);
    }
    if (tree::Item first = c.tree.FirstChild(folder)) tree::RecomputeUp(c.tree, first, 0);
    return FillEnd::Filled;
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
