// The files named on Tivorn's command line, and the block in which a second
// start hands them to the running copy.  Plain C++ without windows.h: both
// the command line and the block are untrusted input of any length and
// content.
#ifndef TIVORN_UTILS_COMMAND_LINE_FILES_H
#define TIVORN_UTILS_COMMAND_LINE_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cmdline {

// More files than anyone opens at once; the rest of a longer list is dropped
// so that a block of any size cannot grow the queue without bound.
constexpr size_t kMaxFiles = 64;

// The blanks between a command line's arguments.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The files among the arguments (the command line without the program's own
// path).  Arguments are separated by blanks; double quotes group blanks into
// an argument and are removed, and an unterminated quote runs to the end, as
// the system's own splitting does.  A backslash is never an escape here: it
// is a path separator, or the trail byte of a double-byte character ("ソ"
// ends in 0x5C).  Switches ("/next") and arguments that cannot be a local
// file's full path (IsFilePathForm) are left out.
std::vector<std::string> FilesOnCommandLine(const char *line);

// Whether path has the form of a local file's full path that the program's
// path buffers hold: "X:\..." (or "X:/..."), at most 259 bytes, valid code
// page 932, no control characters nor wildcard, quote, pipe or redirection
// characters, no further colon (a stream), and no final separator.  Network
// paths ("\\server\share\...") are refused: opening one may block for a
// long time on a share that is gone.  Existence is not checked here.
bool IsFilePathForm(const std::string &path);

// The hand-over block: each file followed by a NUL.
std::string JoinFiles(const std::vector<std::string> &files);
// The files of a received block, each checked with IsFilePathForm; a last
// file without its NUL is taken too, and at most kMaxFiles.
std::vector<std::string> SplitFiles(const char *block, size_t size);

// What one hand-over brings: when the sending process was created (in the
// system's 100-nanosecond units) and its files.
struct HandedOver {
    uint64_t started = 0;
    std::vector<std::string> files;
};
// The block of a hand-over of files: the start time in 8 bytes, least
// significant first, then the files as JoinFiles writes them.
std::string HandOverBlock(const HandedOver &handed);
// A block too short for its start time holds no files.
HandedOver ReadHandOverBlock(const char *block, size_t size);

// Explorer starts one process for each selected file, all within moments,
// and each hands its file over on its own, in whatever order the processes
// get there.  Files from processes started close together belong to one
// opening and join one queue; a process started later begins a queue of its
// own.  Process start times, not arrival times, decide: a busy or slow
// machine spreads the arrivals, not the starts.
class HandOverBurst {
public:
    // Starts this far apart (1.5 s) are one burst.  Explorer starts the
    // processes of one selection tens of milliseconds apart.
    static constexpr uint64_t kGap = 15000000;
    // Whether files of a process started at `started` join the burst before
    // them; they are part of the burst from now on either way.
    bool Joins(uint64_t started);

private:
    bool any_ = false;
    uint64_t latest_ = 0;  // the latest start of the burst
};

}  // namespace cmdline

#endif
