// The files named on Tivorn's command line, and the block in which a second
// start hands them to the running copy.  Plain C++ without windows.h: both
// the command line and the block are untrusted input of any length and
// content.
#ifndef TIVORN_UTILS_COMMAND_LINE_FILES_H
#define TIVORN_UTILS_COMMAND_LINE_FILES_H

#include <cstddef>
#include <string>
#include <vector>

namespace cmdline {

// More files than anyone opens at once; the rest of a longer list is dropped
// so that a block of any size cannot grow the queue without bound.
constexpr size_t kMaxFiles = 64;

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

}  // namespace cmdline

#endif
