// Byte strings in code page 932 (Shift-JIS), without windows.h.
//
// A double-byte character is a lead byte (0x81-0x9F, 0xE0-0xFC) followed by
// a trail byte (0x40-0xFC, not 0x7F).  Trail bytes overlap ASCII: the second
// byte of "ソ" is 0x5C, a backslash, and trail bytes in 0x41-0x7A look like
// letters.  Every function here walks from the start of the string so that
// such bytes are never mistaken for separators or folded as letters.
#ifndef TIVORN_UTILS_ANSI_TEXT_H
#define TIVORN_UTILS_ANSI_TEXT_H

#include <cstddef>

namespace ansi {

bool IsLeadByte(unsigned char c);

// Length in bytes of the character at s (1 or 2; 1 for a lead byte before
// the terminating NUL, so a damaged string never runs past its end).
size_t CharLength(const char *s);

// '\' or '/' as characters, not as trail bytes.
bool IsSeparatorAt(const char *text, const char *at);
const char *LastSeparator(const char *text);

// Case-insensitive order of the file lists and the folder-first order:
// single-byte ASCII letters compare as lower case, every other byte
// (double-byte characters included) by its unsigned value.
int CompareNoCase(const char *a, const char *b);
// As CompareNoCase over at most n bytes.
int CompareNoCaseN(const char *a, const char *b, size_t n);
bool EqualNoCase(const char *a, const char *b);
bool EndsWithNoCase(const char *text, const char *suffix);

// The longest length <= maxBytes at which text can be cut without splitting
// a double-byte character.
size_t FitLength(const char *text, size_t maxBytes);
// Copies text into dest (capacity bytes including the NUL), cut at a
// character boundary.  Returns false when text had to be cut.
bool CopyFit(char *dest, size_t capacity, const char *text);

}  // namespace ansi

#endif
