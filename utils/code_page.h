// The system's side of code page 932: exact conversions between UTF-16 and
// the program's byte strings, short names, and the boxes that name files in
// UTF-16 (a name that code page 932 cannot spell shows as itself there).
#ifndef TIVORN_UTILS_CODE_PAGE_H
#define TIVORN_UTILS_CODE_PAGE_H

#include <windows.h>

#include <string>
#include <vector>

namespace codepage {

// Every string of the program is in this code page, whatever the system's.
constexpr UINT kProgram = 932;

// wide in code page 932, every character as itself: no '?' for a character
// without a spelling, and no look-alike ("e" for "é", "～" for "〜"), which
// the conversion gives even with WC_NO_BEST_FIT_CHARS for some characters
// unless the result is read back.  (spelling::Speller)
bool Spell(const std::wstring &wide, std::string *out);
// A code page 932 string in UTF-16.
std::wstring Widen(const char *text);
// GetShortPathNameW: the short form of an existing path; empty where the
// volume keeps none or the path cannot be asked.
std::wstring ShortPath(const std::wstring &path);

// A path the system gives in UTF-16, as the program's A calls can name it:
// spelt as itself, or by its short form where the long one cannot be spelt
// (or would not fit a path buffer).  False when neither can: the path then
// has no name in code page 932, and '?' in its place would name another
// folder, or none.
bool SpellPath(const std::wstring &wide, std::string *out);
// The program file's own full path, spelt as SpellPath does; false when it
// cannot be spelt or had.
bool ProgramFile(std::string *path);

// A box (caption "Tivorn") telling that files were left out because their
// names cannot be spelt: the program's text (code page 932), then the names
// one per line, as many as a box shows well and how many more.
void ShowLeftOut(HWND owner, const char *text, const std::vector<std::wstring> &names);

}  // namespace codepage

#endif
