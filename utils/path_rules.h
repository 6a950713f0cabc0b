// How the program writes folder and file paths, in one place, so that a
// folder kept by one part is read the same way by every other.  Plain C++
// without windows.h; paths are code page 932 byte strings, and a separator
// is always found as a character (utils/ansi_text.h): the trail byte of
// "ソ" is 0x5C, a backslash, and never ends or splits a path.
#ifndef TIVORN_UTILS_PATH_RULES_H
#define TIVORN_UTILS_PATH_RULES_H

#include <cstddef>
#include <string>

namespace paths {

// Every path of the program fits a 260-byte buffer, NUL included: the
// engine's path buffers and the system's ANSI calls take no more.
constexpr size_t kPathBuffer = 260;
constexpr size_t kLongestPath = kPathBuffer - 1;

// A path handed in as text: present, not empty, and no longer than the rule.
bool UsablePath(const char *path);

// Whether path ends with a separator character ('\' or '/').
bool EndsWithSeparator(const std::string &path);

// The drive root.  Folders are kept without a final separator, so the root
// of drive D is kept as "D:".  Shown to the user, or opened, it is "D:\":
// "D:" alone would name the drive's current directory.
bool IsDriveRoot(const std::string &folder);
std::string ShownFolder(const std::string &kept);

// A folder as it is kept: without a final separator, so that it does not
// double in every joined path ("D:\MIDI\" is "D:\MIDI", "D:\" is "D:").  A
// lone separator stays.
std::string KeptFolder(const char *folder);

// folder\name.  A folder that ends with a separator ("C:\") takes none more,
// and an empty folder gives name alone.
std::string JoinPath(const std::string &folder, const std::string &name);
// JoinPath into *out, or false (and *out untouched) when the result would
// not fit a path buffer.
bool JoinFitting(const std::string &folder, const std::string &name, std::string *out);

// The volume a full path lies on, as a folder is kept: "D:" for "D:\MIDI\a.mid",
// "\\server\share" for a path on a share.  Empty when path names neither.
std::string VolumeOf(const char *path);

}  // namespace paths

#endif
