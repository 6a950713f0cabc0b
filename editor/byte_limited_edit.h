// Edit controls held to a number of bytes of code page 932 as the user
// types, as an edit at its own limit holds its characters: the character
// that would pass the limit is refused with a beep, a double-byte character
// is never split, and a paste puts in only the part that fits.
#ifndef TIVORN_EDITOR_BYTE_LIMITED_EDIT_H
#define TIVORN_EDITOR_BYTE_LIMITED_EDIT_H

#include <windows.h>

#include <cstddef>

// Subclasses edit until it is destroyed; its own limit (which counts its
// positions) is set to limit as well, a backstop no byte count can pass.
void LimitEditBytes(HWND edit, size_t limit);

#endif
