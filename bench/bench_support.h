// What the benchmark programs share: a millisecond clock, the median, the
// registry and file helpers, and the path of the real program beside them.
#ifndef TIVORN_BENCH_BENCH_SUPPORT_H
#define TIVORN_BENCH_BENCH_SUPPORT_H

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_figure.h"
#include "engine/registry_names.h"
#include "resources/resource_ids.h"

namespace bench {

// The program's own keys: the benchmarks run the real program.
using ::kEngineKey;
using ::kProgramKey;

inline double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline double Best(const std::vector<double> &values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

inline void SetString(const char *key, const char *name, const std::string &value) {
    RegSetKeyValueA(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

// The default settings block: priority "通常", no options.
inline void SetDefaultSettings() {
    std::vector<unsigned char> settings(29, 0);
    settings[4] = 2;
    RegSetKeyValueA(HKEY_CURRENT_USER, kProgramKey, "Settings", REG_BINARY, settings.data(),
                    static_cast<DWORD>(settings.size()));
}

inline std::string ReadText(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text;
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// Writes the file system's dirty pages out and drops every clean page,
// dentry and inode from the Linux caches, so that what is read next comes
// from the disk, as after a reboot.  Needs Wine (which starts Unix programs)
// and root.  The shell's exit status does not come back through Wine, so it
// reports in a file of its own, which is waited for.  False, with the reason
// in *why, where it could not.
inline bool DropCaches(std::string *why) {
    char report[64];
    std::snprintf(report, sizeof report, "/tmp/tivorn-drop-caches-%lu", GetCurrentProcessId());
    std::string command = std::string("/bin/sh -c \"rm -f ") + report + "; sync && echo 3 >/proc/sys/vm/drop_caches" +
                          " && echo dropped >" + report + " || echo refused >" + report + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        *why = "no Unix shell to start (not under Wine on Linux)";
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string windowsReport = std::string("Z:") + report;
    for (char &c : windowsReport)
        if (c == '/') c = '\\';
    for (double begin = Now(); Now() - begin < 120000; Sleep(20)) {
        std::string said = ReadText(windowsReport);
        if (said.compare(0, 7, "dropped") == 0) {
            DeleteFileA(windowsReport.c_str());
            return true;
        }
        if (said.compare(0, 7, "refused") == 0) {
            DeleteFileA(windowsReport.c_str());
            *why = "/proc/sys/vm/drop_caches cannot be written (it needs root)";
            return false;
        }
    }
    *why = "the shell did not report within 2 minutes";
    return false;
}

// build/bench-bin/NAME.exe -> build/bin/Tivorn.exe
inline std::string ProgramPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    dir.resize(dir.rfind('\\'));
    dir.resize(dir.rfind('\\'));
    return dir + "\\bin\\Tivorn.exe";
}

inline bool StartProgram(const std::string &program, PROCESS_INFORMATION *process) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *process = PROCESS_INFORMATION{};
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, process) != FALSE;
}

// Ends the started copy as the menu's exit does (killing it if that fails)
// and lets its handles go.
inline void EndProgram(PROCESS_INFORMATION *process, HWND resident) {
    if (resident) PostMessageA(resident, WM_COMMAND, IDM_EXIT, 0);
    if (WaitForSingleObject(process->hProcess, 15000) != WAIT_OBJECT_0) {
        TerminateProcess(process->hProcess, 1);
        WaitForSingleObject(process->hProcess, 5000);
    }
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
}

}  // namespace bench

#endif
