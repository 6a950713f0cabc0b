// The folder-first order of a best's entry list, and the search in it
// (no windows.h).
//
// Every best's entry list is kept in this order, and every search in it moves
// one cursor forward relying on it: within a folder its sub-folders come
// first, each followed by its whole contents, then the folder's own files;
// names compare case-insensitively (ansi::CompareNoCase, the order of the
// engine's folder listings); local paths come before network paths.  A folder
// marker (an entry ending with "/") compares as its folder.
//
// Whether a path exists and is a folder is asked through PathQuery, which the
// Win32 side answers with GetFileAttributesA and tests answer from a table.
#ifndef TIVORN_EDITOR_ENTRY_ORDER_H
#define TIVORN_EDITOR_ENTRY_ORDER_H

#include <cstddef>

#include "store/best_record.h"

enum class PathKind { Missing, File, Folder };

class PathQuery {
public:
    virtual PathKind Kind(const char *path) = 0;

protected:
    ~PathQuery() = default;
};

// What the caller knows of the path it seeks: a folder, a file, or nothing
// (the file system is asked).
enum class KnownKind { Ask, File, Folder };

// Whether entry comes before path in the folder-first order.  pathKind is the
// kind of path, already known (never Missing); entry's kind is asked.
bool ComesBefore(const char *entry, const char *path, PathKind pathKind, PathQuery &query);

// What becomes of the entries a seek passes.
enum class SeekPass { StepOver, Remove };

// Moves *cursor (a cursor of record, see best::BestRecord) forward over the
// entries that come before path, so that it ends on the first entry that does
// not; with Remove those entries are removed instead of stepped over.  With
// KnownKind::Ask a path that does not exist stops the search at once (the
// cursor stays).  Linear in the entries passed.
void SeekEntry(best::BestRecord *record, size_t *cursor, const char *path, SeekPass pass, KnownKind kind,
               PathQuery &query);

#endif
