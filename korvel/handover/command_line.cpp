#include "korvel/handover/command_line.h"

#include <cstddef>
#include <cstring>

#include "utils/ansi_text.h"
#include "utils/command_line_files.h"

namespace korvel {

namespace {

// Blanks and quotes are ASCII below 0x40, so they can never be the trail
// byte of a double-byte character: trimming bytes from either end is safe.
void Trim(const char *&begin, const char *&end) {
    while (begin < end && cmdline::IsBlank(*begin)) ++begin;
    while (end > begin && cmdline::IsBlank(end[-1])) --end;
}

struct Command {
    const char *word;
    int code;
};

const Command kCommands[] = {
    {"/next", 0}, {"/rewind", 1}, {"/stop", 2}, {"/nextbest", 3}, {"/restart", 4}, {"/menu", 5},
};

}  // namespace

int HandOverCode(const char *commandLine) {
    if (!commandLine) return 5;
    const char *begin = commandLine;
    const char *end = commandLine + std::strlen(commandLine);
    Trim(begin, end);
    // One quoted argument, as shortcuts and scripts tend to pass it; an
    // unterminated quote runs to the end, as the system's own parsing does.
    if (begin < end && *begin == '"') {
        ++begin;
        if (begin < end && end[-1] == '"') --end;
        Trim(begin, end);
    }
    if (begin == end) return 5;
    size_t length = static_cast<size_t>(end - begin);
    for (const Command &command : kCommands) {
        if (std::strlen(command.word) == length && ansi::CompareNoCaseN(begin, command.word, length) == 0)
            return command.code;
    }
    return kNoCommand;
}

}  // namespace korvel
