#include "utils/command_line_files.h"

#include <cstring>

#include "utils/ansi_text.h"
#include "utils/path_rules.h"

namespace cmdline {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Single bytes that name nothing in code page 932.
bool IsUnassignedSingle(unsigned char c) { return c == 0x80 || c == 0xA0 || c >= 0xFD; }

// Characters a file name cannot hold (the drive's colon is checked apart).
bool IsForbiddenInName(unsigned char c) { return c < 0x20 || std::strchr("*?\"<>|:", c) != nullptr; }

void AddIfFile(const std::string &argument, std::vector<std::string> *files) {
    if (files->size() < kMaxFiles && !argument.empty() && argument[0] != '/' && IsFilePathForm(argument))
        files->push_back(argument);
}

}  // namespace

bool IsFilePathForm(const std::string &path) {
    if (path.size() < 4 || path.size() > paths::kLongestPath) return false;
    if (!IsAsciiLetter(path[0]) || path[1] != ':' || (path[2] != '\\' && path[2] != '/')) return false;
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(path.data());
    for (size_t i = 3; i < path.size(); ++i) {
        unsigned char c = bytes[i];
        if (ansi::IsLeadByte(c)) {
            // A lead byte needs its trail byte; a cut or damaged name is no name.
            if (i + 1 >= path.size() || !IsTrailByte(bytes[i + 1])) return false;
            ++i;
        } else if (IsUnassignedSingle(c) || IsForbiddenInName(c)) {
            return false;
        }
    }
    // The last character decides, not the last byte: "...ソ" ends in 0x5C.
    return !paths::EndsWithSeparator(path);
}

std::vector<std::string> FilesOnCommandLine(const char *line) {
    std::vector<std::string> files;
    if (!line) return files;
    std::string argument;
    bool quoted = false;
    bool inArgument = false;
    for (const char *p = line; *p;) {
        size_t length = ansi::CharLength(p);
        if (length == 1 && *p == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (length == 1 && !quoted && IsBlank(*p)) {
            if (inArgument) AddIfFile(argument, &files);
            argument.clear();
            inArgument = false;
        } else if (argument.size() <= paths::kLongestPath) {
            // Past the longest path the argument is refused anyway; it is not
            // copied further, however long the line.
            argument.append(p, length);
            inArgument = true;
        }
        p += length;
    }
    if (inArgument) AddIfFile(argument, &files);
    return files;
}

std::string JoinFiles(const std::vector<std::string> &files) {
    std::string block;
    for (const std::string &file : files) {
        block += file;
        block += '\0';
    }
    return block;
}

std::vector<std::string> SplitFiles(const char *block, size_t size) {
    std::vector<std::string> files;
    if (!block) return files;
    size_t start = 0;
    while (start < size && files.size() < kMaxFiles) {
        const void *nul = std::memchr(block + start, '\0', size - start);
        size_t end = nul ? static_cast<size_t>(static_cast<const char *>(nul) - block) : size;
        std::string file(block + start, end - start);
        if (IsFilePathForm(file)) files.push_back(std::move(file));
        start = end + 1;
    }
    return files;
}

std::string HandOverBlock(const HandedOver &handed) {
    std::string block;
    for (int i = 0; i < 8; ++i) block += static_cast<char>((handed.started >> (8 * i)) & 0xFF);
    return block + JoinFiles(handed.files);
}

HandedOver ReadHandOverBlock(const char *block, size_t size) {
    HandedOver handed;
    if (!block || size < 8) return handed;
    for (int i = 0; i < 8; ++i) handed.started |= uint64_t{static_cast<unsigned char>(block[i])} << (8 * i);
    handed.files = SplitFiles(block + 8, size - 8);
    return handed;
}

bool HandOverBurst::Joins(uint64_t started) {
    // A process started before the latest of the burst is part of it too:
    // it merely arrived late.
    // (The start time comes from another process: no sum that could wrap.)
    bool joins = any_ && (started <= latest_ || started - latest_ < kGap);
    if (!joins || started > latest_) latest_ = started;
    any_ = true;
    return joins;
}

}  // namespace cmdline
