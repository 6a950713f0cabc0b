#include "utils/ansi_text.h"

#include <cstring>

namespace ansi {

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

size_t CharLength(const char *s) {
    return IsLeadByte(static_cast<unsigned char>(s[0])) && s[1] != '\0' ? 2 : 1;
}

bool IsSeparatorAt(const char *text, const char *at) {
    if (!text || !at || at < text) return false;
    for (const char *p = text; *p; p += CharLength(p)) {
        if (p == at) return *p == '\\' || *p == '/';
        if (p > at) return false;  // at is the trail byte of the character at p's predecessor
    }
    return false;
}

const char *LastSeparator(const char *text) {
    if (!text) return nullptr;
    const char *last = nullptr;
    for (const char *p = text; *p; p += CharLength(p)) {
        if (*p == '\\' || *p == '/') last = p;
    }
    return last;
}

namespace {

// Walks two strings side by side.  Both stay at character boundaries as long
// as everything before was equal, so one lead-byte flag serves both.
int Compare(const char *a, const char *b, size_t n) {
    const unsigned char *x = reinterpret_cast<const unsigned char *>(a);
    const unsigned char *y = reinterpret_cast<const unsigned char *>(b);
    bool trail = false;
    for (size_t i = 0; i < n; ++i) {
        unsigned cx = x[i], cy = y[i];
        if (!trail) {
            if (cx >= 'A' && cx <= 'Z') cx += 'a' - 'A';
            if (cy >= 'A' && cy <= 'Z') cy += 'a' - 'A';
        }
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
        trail = !trail && IsLeadByte(x[i]);
    }
    return 0;
}

}  // namespace

int CompareNoCase(const char *a, const char *b) { return Compare(a, b, static_cast<size_t>(-1)); }

int CompareNoCaseN(const char *a, const char *b, size_t n) { return Compare(a, b, n); }

bool EqualNoCase(const char *a, const char *b) { return CompareNoCase(a, b) == 0; }

bool EndsWithNoCase(const char *text, const char *suffix) {
    size_t len = std::strlen(text), slen = std::strlen(suffix);
    if (slen > len) return false;
    // The suffix must start at a character boundary of text.
    const char *start = text + (len - slen);
    const char *p = text;
    while (p < start) p += CharLength(p);
    return p == start && CompareNoCase(start, suffix) == 0;
}

size_t FitLength(const char *text, size_t maxBytes) {
    size_t used = 0;
    for (const char *p = text; *p;) {
        size_t n = CharLength(p);
        if (used + n > maxBytes) break;
        used += n;
        p += n;
    }
    return used;
}

bool CopyFit(char *dest, size_t capacity, const char *text) {
    if (capacity == 0) return false;
    size_t n = FitLength(text, capacity - 1);
    std::memcpy(dest, text, n);
    dest[n] = '\0';
    return text[n] == '\0';
}

}  // namespace ansi
