// Any bytes as a command line and as a hand-over block: what comes out has a
// file path's form and goes through the block unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "utils/command_line_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string line(reinterpret_cast<const char *>(data), size);  // cut at its first NUL, as a command line is
    for (const auto &files : {cmdline::FilesOnCommandLine(line.c_str()), cmdline::SplitFiles(line.data(), size)}) {
        bool fine = files.size() <= cmdline::kMaxFiles;
        for (const std::string &file : files) fine = fine && cmdline::IsFilePathForm(file);
        std::string block = cmdline::JoinFiles(files);
        if (!fine || cmdline::SplitFiles(block.data(), block.size()) != files) __builtin_trap();
    }
    return 0;
}
