#include "testing/win_test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <stdexcept>

#include <shlobj.h>

#include "engine/resident_window.h"
#include "resources/resource_ids.h"
#include "utils/ansi_text.h"
#include "utils/com.h"

namespace tt {

std::string WindowsPath(const std::string &path) {
    if (path.empty() || path[0] != '/') return path;
    std::string result = "Z:" + path;
    for (char &c : result)
        if (c == '/') c = '\\';
    return result;
}

std::string BinDir() {
    const char *dir = std::getenv("TIVORN_BIN_DIR");
    return WindowsPath(dir ? dir : ".");
}

std::string ProgramPath() { return BinDir() + "\\Tivorn.exe"; }

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void JoinAnswering(std::thread &user) {
    std::atomic<bool> ended{false};
    std::thread watcher([&] {
        user.join();
        ended = true;
    });
    while (!ended) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent ones
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
    }
    watcher.join();
}

bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        // Wake for this thread's messages, or poll again shortly.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {
const char kOwnStation[] = "TivornTest-";

// An inheritable copy of a standard handle, or null.
HANDLE InheritableStdHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which), copy = nullptr;
    if (handle && handle != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    return copy;
}
}  // namespace

bool OnOwnDesktop() {
    char name[64] = "";
    GetUserObjectInformationA(GetProcessWindowStation(), UOI_NAME, name, sizeof name, nullptr);
    return std::strncmp(name, kOwnStation, sizeof kOwnStation - 1) == 0;
}

int RunOnOwnDesktop() {
    // A desktop is made on the process's window station; this process
    // borrows the new station only while it makes the desktop.
    std::string station = kOwnStation + std::to_string(GetCurrentProcessId());
    HWINSTA own = CreateWindowStationA(station.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
    HWINSTA mine = GetProcessWindowStation();
    HDESK desktop = nullptr;
    if (own && SetProcessWindowStation(own)) {
        desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        SetProcessWindowStation(mine);
    }
    if (!desktop) {
        std::fprintf(stderr, "no desktop of its own for the test program (error %lu)\n", GetLastError());
        if (own) CloseWindowStation(own);
        return 1;
    }
    std::string desktopPath = station + "\\Default";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.lpDesktop = &desktopPath[0];
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = InheritableStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = InheritableStdHandle(STD_ERROR_HANDLE);
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string commandLine = GetCommandLineA();
    PROCESS_INFORMATION child = {};
    DWORD exitCode = 1;
    std::fflush(stdout);
    if (CreateProcessA(program, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        WaitForSingleObject(child.hProcess, INFINITE);
        GetExitCodeProcess(child.hProcess, &exitCode);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    } else {
        std::fprintf(stderr, "the test program did not start on its own desktop (error %lu)\n", GetLastError());
    }
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle) CloseHandle(handle);
    CloseDesktop(desktop);
    CloseWindowStation(own);
    return static_cast<int>(exitCode);
}

ScratchFolder::ScratchFolder() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static LONG counter;
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%stivorn-test-%lu-%ld", temp, GetCurrentProcessId(),
                  InterlockedIncrement(&counter));
    path_ = name;
    DeleteTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { DeleteTree(path_); }

std::string ScratchFolder::MakeFolder(const std::string &name) const {
    std::string full = Join(name);
    // Character by character: the trail byte of "ソ" is a backslash too.
    const char *text = full.c_str();
    for (const char *at = text + path_.size() + 1;; at += ansi::CharLength(at)) {
        if (!*at || *at == '\\') CreateDirectoryA(std::string(text, at).c_str(), nullptr);
        if (!*at) break;
    }
    DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw std::runtime_error("cannot make the scratch folder " + full);
    return full;
}

std::string ScratchFolder::WriteFile(const std::string &name, const std::vector<uint8_t> &bytes) const {
    if (const char *slash = ansi::LastSeparator(name.c_str())) MakeFolder(std::string(name.c_str(), slash));
    std::string full = Join(name);
    HANDLE file = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool whole = file != INVALID_HANDLE_VALUE &&
                 (bytes.empty() ||
                  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!whole || written != bytes.size()) throw std::runtime_error("cannot write the scratch file " + full);
    return full;
}

bool ReadWholeFile(const std::string &path, std::string *content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    content->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content->append(buffer, got);
    CloseHandle(file);
    return true;
}

namespace {

// Wide, so that a name the code page cannot spell (tests make such files on
// purpose) goes too: a folder left behind would meet a later process that
// Wine gives the same id, and its scratch folder's name.
void DeleteWideTree(const std::wstring &path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!std::wcscmp(found.cFileName, L".") || !std::wcscmp(found.cFileName, L"..")) continue;
            std::wstring child = path + L"\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteWideTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

void DeleteTree(const std::string &path) {
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 1) return;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    DeleteWideTree(wide);
}

bool MakeShortcut(const std::string &path, const std::string &target) {
    ComApartment com(kShellApartment);
    WCHAR wide[MAX_PATH];
    if (!com.Usable() || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return false;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      link.PutVoid())) &&
           SUCCEEDED(link->SetPath(target.c_str())) &&
           SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) && SUCCEEDED(file->Save(wide, TRUE));
}

namespace program_key {

namespace {
struct Keys {
    std::string program, history, engine;
    explicit Keys(const std::string &root) : program(root), history(root + "\\Best"), engine(root + "\\Engine") {}
};

std::string OwnKey() { return "Software\\Zarnith\\Tivorn-test-" + std::to_string(GetCurrentProcessId()); }

// A test program leaves no key behind, whichever test wrote to it last.
void RemoveOwnKey() { RegDeleteTreeA(HKEY_CURRENT_USER, OwnKey().c_str()); }

Keys &ChosenKeys() {
    static Keys keys = [] {
        std::atexit(RemoveOwnKey);
        return Keys(OwnKey());
    }();
    return keys;
}
}  // namespace

const char *Key() { return ChosenKeys().program.c_str(); }
const char *HistoryKey() { return ChosenKeys().history.c_str(); }
const char *EngineKey() { return ChosenKeys().engine.c_str(); }

bool UseProgramsKey() {
    ChosenKeys() = Keys("Software\\Zarnith\\Tivorn");
    return true;
}

void Clear() { RegDeleteTreeA(HKEY_CURRENT_USER, Key()); }

namespace {
void Write(const char *subkey, const char *name, DWORD type, const void *data, DWORD size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
}
}  // namespace

void WriteBinary(const char *subkey, const char *name, const void *data, DWORD size) {
    Write(subkey, name, REG_BINARY, data, size);
}

void WriteString(const char *subkey, const char *name, const std::string &value) {
    Write(subkey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool ReadRaw(const char *subkey, const char *name, std::string *data, DWORD *type) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0, kind = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &kind, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        data->assign(size, '\0');
        ok = RegQueryValueExA(key, name, nullptr, &kind, reinterpret_cast<BYTE *>(&(*data)[0]), &size) ==
             ERROR_SUCCESS;
        data->resize(size);
        if (type) *type = kind;
    }
    RegCloseKey(key);
    return ok;
}

std::string Snapshot(const char *subkey) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string();
    std::string all, data;
    char name[16384];
    DWORD length = sizeof name, type = 0;
    for (DWORD i = 0; RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
        ReadRaw(subkey, name, &data, &type);
        all += std::string(name) + '=' + std::to_string(type) + ':' + data + '\n';
        length = sizeof name;
    }
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == 0; ++i)
        all += std::string("[") + name + "]\n" + Snapshot((std::string(subkey) + '\\' + name).c_str());
    RegCloseKey(key);
    return all;
}

bool Exists(const char *subkey, const char *name) {
    std::string ignored;
    return ReadRaw(subkey, name, &ignored);
}

void Delete(const char *subkey, const char *name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

std::vector<uint8_t> Settings(uint8_t options, uint16_t nextHotkey, uint16_t menuHotkey) {
    std::vector<uint8_t> block(29, 0);
    block[0] = nextHotkey & 0xFF;
    block[1] = nextHotkey >> 8;
    block[2] = menuHotkey & 0xFF;
    block[3] = menuHotkey >> 8;
    block[4] = 2;  // 通常
    block[5] = options;
    return block;
}

void WriteSettings(const std::vector<uint8_t> &block) {
    WriteBinary(Key(), "Settings", block.data(), static_cast<DWORD>(block.size()));
}

}  // namespace program_key

std::vector<std::string> ReadLines(const std::string &path) {
    std::string content;
    std::vector<std::string> lines;
    if (!ReadWholeFile(path, &content)) return lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsOutputLine(const std::string &line) { return line.compare(0, 7, "output ") == 0; }

std::vector<std::string> LogEvents(const std::string &path) {
    std::vector<std::string> events;
    for (const std::string &line : ReadLines(path))
        if (!line.empty() && (line[0] < '0' || line[0] > '9')) events.push_back(line);
    return events;
}

std::vector<std::string> SongEvents(const std::string &path, size_t from) {
    std::vector<std::string> songEvents;
    for (const std::string &line : LogEvents(path))
        if (!IsOutputLine(line)) songEvents.push_back(line);
    songEvents.erase(songEvents.begin(), songEvents.begin() + std::min(from, songEvents.size()));
    return songEvents;
}

std::string AnsiToUtf8(const std::string &ansi) {
    if (ansi.empty()) return ansi;
    int wideLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()),
                                         nullptr, 0);
    if (wideLength <= 0) return std::string();
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                        wideLength);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

namespace {
struct WindowSearch {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    WindowSearch *search = reinterpret_cast<WindowSearch *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(window)))
        search->found.push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> ProcessWindows(DWORD processId, bool visibleOnly) {
    WindowSearch search{processId, visibleOnly, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window) {
    char text[4096] = "";
    // WM_GETTEXT reaches windows of other processes too.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FindPopupMenu(DWORD processId) {
    for (HWND window : ProcessWindows(processId, true))
        if (ClassName(window) == "#32768") return window;
    return nullptr;
}

HWND FindMessageBox(DWORD processId, const char *caption) {
    for (HWND window : ProcessWindows(processId, true)) {
        // A message box's text is its control 0xFFFF; the About view and the
        // resident window, dialogs with the same caption, have none.
        if (ClassName(window) == "#32770" && WindowText(window) == caption && GetDlgItem(window, 0xFFFF))
            return window;
    }
    return nullptr;
}

std::string MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

void PressButton(HWND dialog, int id) {
    if (HWND button = GetDlgItem(dialog, id)) {
        PostMessageA(button, BM_CLICK, 0, 0);
    } else {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
}

BoxAnswerer::BoxAnswerer(int button, const char *caption, const char *typed)
    : caption_(caption), typed_(typed ? typed : ""), type_(typed != nullptr),
      thread_([this, button] { Run(Boxes::First, button); }) {}

BoxAnswerer::BoxAnswerer(Boxes every, int button)
    : caption_("Tivorn"), type_(false), thread_([this, every, button] { Run(every, button); }) {}

BoxAnswerer::~BoxAnswerer() { Stop(); }

// Its look at captions is a message to this thread's windows: a plain join
// would hold it for its whole timeout.
void BoxAnswerer::Stop() {
    stop_ = true;
    if (thread_.joinable()) JoinAnswering(thread_);
}

std::vector<BoxAnswerer::Box> BoxAnswerer::Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

std::string BoxAnswerer::Text() {
    Stop();
    return seen_.empty() ? std::string() : seen_[0].text;
}

void BoxAnswerer::Run(Boxes which, int button) {
    DWORD start = GetTickCount();
    while (!stop_ && (which == Boxes::Every || GetTickCount() - start < 15000)) {
        if (HWND box = FindMessageBox(GetCurrentProcessId(), caption_)) {
            Box seen = {GetWindow(box, GW_OWNER), MessageBoxText(box)};
            {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(seen);
            }
            if (type_) SetDlgItemTextA(box, IDC_BEST_NAME, typed_.c_str());
            PressButton(box, button);
            if (which == Boxes::First) return;
            while (IsWindow(box) && !stop_) Sleep(5);
        }
        Sleep(10);
    }
}

TivornProcess::~TivornProcess() {
    if (info_.hProcess) {
        if (Running()) Kill();
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool TivornProcess::Start(const std::string &arguments, const std::string &exePath) {
    std::string exe = exePath.empty() ? ProgramPath() : exePath;
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    resident_ = nullptr;
    return CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info_) != FALSE;
}

bool TivornProcess::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

HWND TivornProcess::WaitForResidentWindow(DWORD timeoutMs) const {
    WaitUntil(
        [&] {
            for (HWND window : ProcessWindows(info_.dwProcessId)) {
                if (GetPropA(window, TIVORN_RESIDENT_PROP)) {
                    resident_ = window;
                    return true;
                }
            }
            return !Running();
        },
        timeoutMs);
    return resident_;
}

DWORD TivornProcess::WaitForExit(DWORD timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    WaitUntil([&] { return !Running(); }, timeoutMs);
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void TivornProcess::Kill() {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
}

LRESULT TivornProcess::SendCode(ULONG_PTR code) const {
    HWND window = resident_ ? resident_ : WaitForResidentWindow();
    COPYDATASTRUCT data = {code, 0, nullptr};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 15000, &result);
    return static_cast<LRESULT>(result);
}

void TivornProcess::PostCommand(WORD id) const {
    HWND window = resident_ ? resident_ : WaitForResidentWindow();
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

DWORD TivornProcess::Exit(DWORD timeoutMs) {
    PostCommand(IDM_EXIT);
    return WaitForExit(timeoutMs);
}

}  // namespace tt
