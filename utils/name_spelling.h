// Names the system gives in UTF-16, put into the program's code page (932).
// Plain C++: the system's conversion and its short names come in as
// parameters, so the rule is the same for the command line, the folder
// listing and the Shell tree, and a test can stand in for a volume that
// keeps no short names.
//
// A character that code page 932 cannot spell (é, Hangul, emoji) comes out
// of the A functions as '?', which opens nothing, or as a look-alike ("e"
// for "é"), which may open another file.  Such a file is named by its short
// (8.3) name where its volume keeps one; exFAT and ReFS volumes, and NTFS
// volumes with short names turned off, keep none.  Then the file cannot be
// named at all: it is left out, and the caller tells the user which.
#ifndef TIVORN_UTILS_NAME_SPELLING_H
#define TIVORN_UTILS_NAME_SPELLING_H

#include <functional>
#include <string>
#include <vector>

namespace spelling {

// The name in code page 932 with every character as itself; false when a
// character has no such spelling (or the text does not convert at all).
using Speller = std::function<bool(const std::wstring &wide, std::string *out)>;
// The short name (or path) of what was just named; empty where there is
// none.  Asked only when the long one cannot be spelt: it may read the disk.
using ShortName = std::function<std::wstring()>;

enum class Spelt { AsIs, ByShortName, Not };

// name as it is, else its short form, else Not (out is then empty).
Spelt SpellName(const std::wstring &name, const ShortName &shortName, const Speller &spell, std::string *out);

// Arguments (the program's own path not among them) as a command line in
// code page 932 for the command-line parsers: separated by blanks, and
// quoted where one holds a blank.  Each is spelt by SpellName, its short
// form asked of shortPath; a path whose spelling is longer than a path
// buffer holds is offered its short form too.  A drive path ("X:\...")
// that cannot be spelt is a file that cannot be named: it goes to leftOut
// as given.  Anything else that cannot be spelt is no switch and no file the
// program takes, and is dropped, as is any argument holding a double quote,
// which no file name does.
struct SpeltArguments {
    std::string line;
    std::vector<std::wstring> leftOut;
};
SpeltArguments SpellArguments(const std::vector<std::wstring> &arguments,
                              const std::function<std::wstring(const std::wstring &)> &shortPath,
                              const Speller &spell);

}  // namespace spelling

#endif
