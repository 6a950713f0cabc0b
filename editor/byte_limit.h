// The arithmetic of edits held to a number of bytes of code page 932 while
// the user types (names and album names are stored in at most 259 bytes),
// without windows.h.  An edit control's own limit counts its positions,
// which are characters where the control keeps its text in Unicode.
#ifndef TIVORN_EDITOR_BYTE_LIMIT_H
#define TIVORN_EDITOR_BYTE_LIMIT_H

#include <cstddef>
#include <string>

namespace bytelimit {

// What an edit control counts its positions in (EM_GETSEL, EM_LINELENGTH):
// bytes for an ANSI edit on Windows, UTF-16 units where the control answers
// in its Unicode text (a control made as a Unicode window, or Wine).  Every
// character of code page 932 is one UTF-16 unit.
enum class Unit { Bytes, Characters };

// The unit of a control whose text is text (as bytes) and which gives its
// length as reportedLength.
Unit UnitOf(const std::string &text, size_t reportedLength);

// The byte offset in text of a position counted in unit; the end of text
// when the position lies beyond it.
size_t ByteOffset(const std::string &text, size_t position, Unit unit);

// A change made the text of an edit longer than limit bytes.  old, with
// the selection [start, end) in bytes, became fresh by putting something in
// place of the selection (a typed character, a paste).  Answers what of that
// may go in: as much as fits beside the rest, cut at a character boundary.
// Empty when nothing fits, or when fresh is not old with its selection
// replaced.
std::string FittingInsertion(const std::string &old, size_t start, size_t end, const std::string &fresh,
                             size_t limit);

}  // namespace bytelimit

#endif
