// The marks of the folder tree into the edited best's entry list, and
// the entry list into the marks of items being created (no windows.h).
//
// The entry list is kept in the folder-first order (editor/entry_order.h),
// and the tree lists every folder in that order too, so a collection walks
// the tree and moves one cursor through the list alongside: a single forward
// pass below each item at the top (those come in the Shell's order, so each
// that changes something is sought from the first entry).  Only items whose
// mark was changed rewrite their part of the list; the entries of the others
// are stepped over and kept, even where the tree never loaded them.  A
// checked folder expands into an entry per file below it, read from the disk
// at that moment; one that cannot be listed then keeps its entries, since
// nothing can be said of what it holds, and so does one below it: the
// folders holding that one are then written as their items, not as whole
// folders.
#ifndef TIVORN_EDITOR_COLLECTION_H
#define TIVORN_EDITOR_COLLECTION_H

#include <string>
#include <vector>

#include "editor/entry_order.h"
#include "editor/mark_tree.h"
#include "store/best_record.h"

// The names in a folder, sorted as the engine's ListFolder sorts them.
// What a folder listing lists.
enum class Listing { Folders, Files, MidiFiles /* "*.mid" only */ };

class FolderLister {
public:
    // Empty for a folder that cannot be listed: CanList tells it from one
    // that holds nothing.
    virtual std::vector<std::string> List(const std::string &folder, Listing what) = 0;
    virtual bool CanList(const std::string &folder) = 0;

protected:
    ~FolderLister() = default;
};

struct Collection {
    tree::MarkTree &tree;
    best::BestRecord &record;  // the edited best
    PathQuery &paths;
    FolderLister &lister;
    bool midiTab;  // the MIDI tab: folders as markers, "*.mid" files only
};

// Collects the marks of first and its siblings (and, where needed, what lies
// below them) into the record, from *cursor on.  folder is the path of their
// parent ("" at the top of a walk); FirstEntry puts the cursor on the first
// entry first.  Clears the changed bits it acts on.  True when a changed
// item was met.
enum class CollectFrom { Cursor, FirstEntry };
bool CollectChecks(Collection &c, const std::string &folder, size_t *cursor, tree::Item first, CollectFrom from);

// Inserts at *cursor an entry for every file below folder, sub-folders'
// files first.
void AddFolderContents(Collection &c, const std::string &folder, size_t *cursor);

// --- the marks of items being created --------------------------------------

// The first opening of folder: one listing gives its sub-folders and then
// its files, each with the mark the record gives it (c.tree and c.record are
// the tree's and the edited best's).  None is inserted, and the folder is
// frozen (tree::Freeze), when it cannot be listed or its names do not all
// fit the names table: the tree never shows part of a folder, and never
// takes one it could not ask for an empty one.  A folder that truly holds
// nothing loses its expand button.
enum class FillEnd { Filled, Empty, NotListed, NoRoom };
FillEnd FillOpenedFolder(Collection &c, tree::FillSite &site, tree::Item folder, bool altIcons);

// The MIDI tab's root: checked when the list holds the MIDI folder itself (or
// its marker), partly when it holds something below it.
unsigned RootMark(best::BestRecord &record, const std::string &midiFolder, PathQuery &paths);

// A sub-folder at path, from the entries at and after *cursor (which moves
// only forward, so the folders of one fill are looked up in their order).
// Checked when the list holds the folder whole (its bare path; on the MIDI
// tab its marker too); partly when it holds something below it (on the MIDI
// tab a MIDI file) or, on the all-files tab, its marker.
unsigned FolderMark(best::BestRecord &record, size_t *cursor, const std::string &path, bool midiTab,
                    PathQuery &paths);

// A file at path: whether the list holds it.
bool FileListed(best::BestRecord &record, size_t *cursor, const std::string &path, PathQuery &paths);

#endif
