// Fuzz target for the command line's files: any bytes as a command line and
// as a hand-over block.  Whatever comes out has the form of a file path, and
// goes through the block unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "utils/command_line_files.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string line(reinterpret_cast<const char *>(data), size);  // cut at its first NUL, as a command line is
    for (const auto &files : {cmdline::FilesOnCommandLine(line.c_str()), cmdline::SplitFiles(line.data(), size)}) {
        Require(files.size() <= cmdline::kMaxFiles);
        for (const std::string &file : files) Require(cmdline::IsFilePathForm(file));
        std::string block = cmdline::JoinFiles(files);
        Require(cmdline::SplitFiles(block.data(), block.size()) == files);
    }
    return 0;
}
