#include "store/album_key.h"

#include <cstring>

#include "utils/ansi_text.h"

namespace store {

namespace {

constexpr char kOpen = '<', kClose = '>', kEquals = '|';

bool Trimmed(char c) { return c == ' ' || c == '\t'; }

// Each character of text that is the single byte from, as to; the walk goes
// by characters, since '|' is also a trail byte of code page 932.
std::string Swapped(const char *text, size_t length, char from, char to) {
    std::string out(text, length);
    for (size_t i = 0; i < out.size();) {
        size_t n = ansi::CharLength(out.c_str() + i);
        if (n == 1 && out[i] == from) out[i] = to;
        i += n;
    }
    return out;
}

}  // namespace

std::string AlbumKey(const char *folder) {
    size_t length = std::strlen(folder);
    // '=' is no trail byte of code page 932: any '=' byte is the character.
    bool plain = length > 0 && !Trimmed(folder[0]) && folder[0] != ';' && folder[0] != '[' &&
                 !Trimmed(folder[length - 1]) && !std::strchr(folder, '=');
    if (plain) return folder;
    return kOpen + Swapped(folder, length, '=', kEquals) + kClose;
}

std::string AlbumFolder(const char *key) {
    size_t length = std::strlen(key);
    // '>' is no trail byte: a last byte of '>' is the character.
    if (length < 2 || key[0] != kOpen || key[length - 1] != kClose) return key;
    return Swapped(key + 1, length - 2, kEquals, '=');
}

}  // namespace store
