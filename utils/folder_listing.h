// What a folder listing shows, and the listing itself: one pass over a
// folder's entries gives its sub-folders and its files together, each in the
// order the folder-first order of a best's entries expects.  The engine's
// ListFolder and the program's own listings both go through here, so that
// they always agree on which names a folder holds.
#ifndef TIVORN_UTILS_FOLDER_LISTING_H
#define TIVORN_UTILS_FOLDER_LISTING_H

#include <string>
#include <vector>

namespace listing {

// --- the rules (plain C++) ---------------------------------------------------

// "." and "..", which a listing of sub-folders never reports.
bool IsDotEntry(const char *name);

// Whether a listed name is kept by a filter.  "*.ext" keeps exactly the names
// whose extension (the text after the last dot) is ext in any letter case,
// so "x.midi" and "x.mid.txt" are not "*.mid" even where the system's own
// matching (through short names) lets them through.  A null or empty
// filter, "*" and "*.*" keep everything; any other filter keeps only the
// name equal to it in any letter case.
bool PassesFilter(const char *name, const char *filter);

// Sorts names ascending by ansi::CompareNoCase, the order the folder-first
// comparison of a best's entries expects.  Names equal but for case (possible
// on case-sensitive file systems) keep a fixed order by their bytes.
void SortNames(std::vector<std::string> *names);

// --- the listing (Windows) -------------------------------------------------

struct FolderEntries {
    std::vector<std::string> folders;  // sorted, without "." and ".."
    std::vector<std::string> files;    // sorted
    // Entries whose names code page 932 cannot spell and that have no short
    // name either (utils/name_spelling.h), as the system gives them, in the
    // order found.
    std::vector<std::wstring> leftOut;
};

// Whose short names a listing takes: the volume's, or none at all, as a
// volume that keeps none (exFAT, ReFS, NTFS with 8.3 names off) gives.
// Wine makes up a short name for every file, so only the second shows such
// a volume there.
enum class ShortNames { Volume, NoneKept };

// The entries matching pattern ("C:\Music\*", say), read in one pass.
// Protected system entries (hidden and system together) are left out, and a
// name with characters outside the code page (932) is given by its short
// name, or put in leftOut where it has none, since it could never be opened.
// False, with out empty, when the folder could not be listed whole (no such
// folder, no access, out of memory, a search the system ended with an
// error part way): callers take it as a folder that cannot be listed, never
// as one holding what was read.
bool ListEntries(const char *pattern, FolderEntries *out, ShortNames shortNames = ShortNames::Volume);

}  // namespace listing

#endif
