#include "editor/byte_limit.h"

#include "utils/ansi_text.h"

namespace bytelimit {

namespace {

size_t CharacterCount(const std::string &text) {
    size_t count = 0;
    for (const char *p = text.c_str(); *p; p += ansi::CharLength(p)) ++count;
    return count;
}

}  // namespace

Unit UnitOf(const std::string &text, size_t reportedLength) {
    // Equal counts (single-byte text) make the unit irrelevant.
    return reportedLength != text.size() && reportedLength == CharacterCount(text) ? Unit::Characters : Unit::Bytes;
}

size_t ByteOffset(const std::string &text, size_t position, Unit unit) {
    if (unit == Unit::Bytes) return position < text.size() ? position : text.size();
    const char *start = text.c_str();
    const char *p = start;
    for (size_t i = 0; i < position && *p; ++i) p += ansi::CharLength(p);
    return static_cast<size_t>(p - start);
}

std::string FittingInsertion(const std::string &old, size_t start, size_t end, const std::string &fresh,
                             size_t limit) {
    if (start > end || end > old.size()) return std::string();
    size_t kept = old.size() - (end - start);
    size_t after = old.size() - end;
    if (fresh.size() < kept || fresh.compare(0, start, old, 0, start) != 0 ||
        fresh.compare(fresh.size() - after, after, old, end, after) != 0)
        return std::string();
    std::string inserted = fresh.substr(start, fresh.size() - kept);
    // The selection starts at a character boundary, so the insertion does.
    size_t room = limit > kept ? limit - kept : 0;
    inserted.resize(ansi::FitLength(inserted.c_str(), room));
    return inserted;
}

}  // namespace bytelimit
