// What the benchmark programs share: a millisecond clock, the median, the
// registry and file helpers, and the path of the real program beside them.
#ifndef TIVORN_BENCH_BENCH_SUPPORT_H
#define TIVORN_BENCH_BENCH_SUPPORT_H

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bench {

constexpr char kProgramKey[] = "Software\\Zarnith\\Tivorn";
constexpr char kEngineKey[] = "Software\\Zarnith\\Tivorn\\Engine";

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
    if (resident) PostMessageA(resident, WM_COMMAND, 40007, 0);
    if (WaitForSingleObject(process->hProcess, 15000) != WAIT_OBJECT_0) {
        TerminateProcess(process->hProcess, 1);
        WaitForSingleObject(process->hProcess, 5000);
    }
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
}

}  // namespace bench

#endif
