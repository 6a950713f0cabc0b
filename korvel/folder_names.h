// Decisions about names and folder paths that the folder listing and the
// folder picker make.  Plain C++, code page 932 byte strings.
#ifndef TIVORN_KORVEL_FOLDER_NAMES_H
#define TIVORN_KORVEL_FOLDER_NAMES_H

#include <cstddef>

namespace korvel {

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
void SortNames(char **names, size_t count);

// Takes a trailing separator off a folder path in place, except where it is
// the path's only content or belongs to a drive root ("D:\" stays).  A 0x5C
// trail byte at the end is part of a character and stays.
void DropTrailingSeparator(char *path);

}  // namespace korvel

#endif
