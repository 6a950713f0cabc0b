#include "korvel/song/song_title.h"

namespace korvel {
namespace {

// Lead bytes of code page 932 whose rows hold characters.  Rows 85, 86, EB,
// EC and EF hold none, and F0 to F9 are the user-defined area, which has no
// glyphs but the user's own: text that needs them is taken as not this
// code page's.
bool IsUsableLead(uint8_t c) {
    return (c >= 0x81 && c <= 0x84) || (c >= 0x87 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEA) ||
           c == 0xED || c == 0xEE || (c >= 0xFA && c <= 0xFC);
}
bool IsTrail(uint8_t c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
// The last rows end early.  Row FC matters most: a Latin-1 u-umlaut (FC)
// followed by a letter would otherwise pass as a character.
bool IsCharacter(uint8_t lead, uint8_t trail) {
    if (!IsTrail(trail)) return false;
    if (lead == 0xEA) return trail <= 0xA4;
    if (lead == 0xFC) return trail <= 0x4B;
    return true;
}
// ASCII and the half-width katakana; 80, A0 and FD to FF are no characters.
bool IsSingle(uint8_t c) { return c <= 0x7F || (c >= 0xA1 && c <= 0xDF); }
bool IsControl(uint8_t c) { return c < 0x20 || c == 0x7F; }

// The text as it can be shown, or empty when it is not code page 932.
// Control characters and spaces end a word: words are kept with one space
// between them.  Past the limit the rest is still checked, so that a text
// valid only at its start is refused.
std::string ShownText(const uint8_t *p, size_t size) {
    std::string out;
    bool gap = false;   // a space or control character since the last word
    bool full = false;  // a character did not fit: nothing more is kept
    for (size_t i = 0; i < size;) {
        uint8_t c = p[i];
        size_t length = 1;
        if (IsUsableLead(c)) {
            if (i + 1 >= size || !IsCharacter(c, p[i + 1])) return std::string();
            length = 2;
        } else if (!IsSingle(c)) {
            return std::string();
        }
        const char *character = reinterpret_cast<const char *>(p + i);
        i += length;
        if (IsControl(c) || c == ' ') {
            gap = !out.empty();
            continue;
        }
        size_t needed = (gap ? 1 : 0) + length;
        if (full || out.size() + needed > kMaxSongTitleBytes) {
            full = true;
            continue;
        }
        if (gap) out.push_back(' ');
        out.append(character, length);
        gap = false;
    }
    return out;
}

bool ReadNumber(const uint8_t *&p, const uint8_t *end, uint32_t &value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (p == end) return false;
        uint8_t b = *p++;
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

}  // namespace

std::string ReadTrackTitle(const uint8_t *track, size_t size) {
    if (!track) return std::string();
    const uint8_t *p = track;
    const uint8_t *end = track + size;
    std::string text;           // the first usable text event before the first note
    bool noteSeen = false;
    uint8_t running = 0;
    while (p < end) {
        uint32_t delta;
        if (!ReadNumber(p, end, delta) || p == end) break;
        uint8_t status = *p;
        if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            uint8_t type = 0;
            ++p;
            if (status == 0xFF) {
                if (p == end) break;
                type = *p++;
            }
            uint32_t length;
            if (!ReadNumber(p, end, length) || length > static_cast<size_t>(end - p)) break;
            if (status == 0xFF && type == 0x2F) break;  // End of Track
            if (status == 0xFF && type == 0x03) {
                std::string name = ShownText(p, length);
                if (!name.empty()) return name;
            }
            if (status == 0xFF && type == 0x01 && !noteSeen && text.empty()) text = ShownText(p, length);
            p += length;
            continue;
        }
        if (status & 0x80) {
            if (status > 0xEF) break;  // no system message belongs in a track
            running = status;
            ++p;
        } else if (!running) {
            break;
        }
        int count = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
        if (end - p < count) break;
        if ((running & 0xF0) == 0x90 && count == 2 && p[1] != 0) noteSeen = true;
        p += count;
    }
    return text;
}

}  // namespace korvel
