#include "shell/best_menu_label.h"

#include <cstdio>
#include <cstring>

#include "utils/ansi_text.h"

void BestMenuLabel(int index, const char *name, char *label, size_t capacity) {
    if (!label || capacity == 0) return;
    char prefix[16] = "";
    if (index >= 0 && index < 9)
        std::snprintf(prefix, sizeof prefix, "&%d ", index + 1);
    else if (index == 9)
        std::snprintf(prefix, sizeof prefix, "1&0 ");
    size_t used = ansi::FitLength(prefix, capacity - 1);
    std::memcpy(label, prefix, used);
    // '&' is ASCII below 0x40, so it is never the trail byte of a character.
    for (const char *p = name ? name : ""; *p;) {
        size_t n = ansi::CharLength(p);
        size_t needed = *p == '&' ? 2 : n;
        if (used + needed > capacity - 1) break;
        if (*p == '&') label[used++] = '&';
        std::memcpy(label + used, p, n);
        used += n;
        p += n;
    }
    label[used] = '\0';
}
