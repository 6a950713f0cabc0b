#include "korvel/output/log_line.h"

namespace korvel {

void AppendMessageLine(std::string &out, int64_t timeUs, const uint8_t *message, size_t size, bool added) {
    static const char kHex[] = "0123456789ABCDEF";
    char digits[24];
    int n = 0;
    uint64_t t = timeUs < 0 ? 0 : static_cast<uint64_t>(timeUs);
    do {
        digits[n++] = static_cast<char>('0' + t % 10);
        t /= 10;
    } while (t);
    while (n) out.push_back(digits[--n]);
    for (size_t i = 0; i < size; ++i) {
        char hex[3] = {' ', kHex[message[i] >> 4], kHex[message[i] & 15]};
        out.append(hex, 3);
    }
    if (added) out.append(" *");
    out.append("\r\n");
}

void AppendWordLine(std::string &out, const char *word, const char *argument) {
    out.append(word);
    if (argument) {
        out.push_back(' ');
        out.append(argument);
    }
    out.append("\r\n");
}

}  // namespace korvel
