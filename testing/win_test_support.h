// Helpers for Windows tests: paths, scratch folders, the program's registry
// key, waiting on conditions, answering this process's message boxes, and
// driving a running Tivorn.exe and its message boxes from outside.
#ifndef TIVORN_TESTING_WIN_TEST_SUPPORT_H
#define TIVORN_TESTING_WIN_TEST_SUPPORT_H

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

namespace tt {

// A path given in the environment as a Unix path, as Wine's Z: drive sees it.
std::string WindowsPath(const std::string &unixOrWindowsPath);
// build/bin, where Tivorn.exe and KORVEL.dll are.
std::string BinDir();
std::string ProgramPath();

// Runs the condition until it holds or the deadline passes, handling this
// thread's messages meanwhile (windows of the test stay responsive).
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs = 15000);
// Handles this thread's pending messages.
void PumpMessages();
// Joins a thread that plays the user while this thread ran the dialog they
// worked on.  Until it ends, this thread answers the messages sent to its
// windows (a look at their captions), and nothing else: a join that only
// waited would hold such a look for its whole timeout.
void JoinAnswering(std::thread &user);

// A window station and desktop of the test program's own.  Windows, focus,
// typed keys and low-level keyboard hooks belong to a desktop, and window
// searches see only the caller's: a program that types, or that stands in
// for the running copy, runs there beside the others, unseen by them and
// blind to them.  In main: OnOwnDesktop() says whether this copy runs there;
// if not, RunOnOwnDesktop() runs the program again there, with the same
// command line and output, and returns its exit code.
bool OnOwnDesktop();
int RunOnOwnDesktop();

// A folder under %TEMP% that is removed with everything in it.  What it
// cannot make or write throws std::runtime_error: a test that goes on
// without its files would test something else, and pass.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    const std::string &path() const { return path_; }
    std::string Join(const std::string &name) const { return path_ + "\\" + name; }
    // Writes bytes to a file below the folder (creating sub-folders).
    std::string WriteFile(const std::string &name, const std::vector<uint8_t> &bytes) const;
    // A folder below this one with the folders above it; one already there is kept.
    std::string MakeFolder(const std::string &name) const;

private:
    std::string path_;
};

bool ReadWholeFile(const std::string &path, std::string *content);
void DeleteTree(const std::string &path);
// A shortcut at path to target, made as the Shell makes one.
bool MakeShortcut(const std::string &path, const std::string &target);

// The program's key under HKEY_CURRENT_USER as this test process sees it,
// and its values.  A process has a key of its own,
// Software\Zarnith\Tivorn-test-<process id>, so that test programs run side
// by side; one that drives the real Tivorn.exe takes the program's own key
// with UseProgramsKey before its first test.
namespace program_key {
const char *Key();
const char *HistoryKey();  // Key()\Best
const char *EngineKey();   // Key()\Engine
// Software\Zarnith\Tivorn from now on; true, for use in an initialiser.
bool UseProgramsKey();
void Clear();  // removes the key with every value and subkey
void WriteBinary(const char *subkey, const char *name, const void *data, DWORD size);
void WriteString(const char *subkey, const char *name, const std::string &value);
bool ReadRaw(const char *subkey, const char *name, std::string *data, DWORD *type = nullptr);
bool Exists(const char *subkey, const char *name);
// Every value and subkey below subkey, names, types and bytes, as one text.
std::string Snapshot(const char *subkey);
inline std::string Snapshot() { return Snapshot(Key()); }
void Delete(const char *subkey, const char *name);
// A 29-byte settings block: priority "通常", options byte as given.
std::vector<uint8_t> Settings(uint8_t options = 0, uint16_t nextHotkey = 0, uint16_t menuHotkey = 0);
void WriteSettings(const std::vector<uint8_t> &block);
}  // namespace program_key

// The engine's log output: every line the engine wrote to a log file.
std::vector<std::string> ReadLines(const std::string &path);
// Its song events ("open <path>", "start", "end", "stop"; the lines that are
// not timed messages, nor of the output itself), from the `from`th one on.
std::vector<std::string> SongEvents(const std::string &path, size_t from = 0);
// The song events with the output's own "output opened" and "output closed".
std::vector<std::string> LogEvents(const std::string &path);
bool IsOutputLine(const std::string &line);
// A path as the log's "open" line shows it: the log is UTF-8, while the
// program (and a test) holds paths in the ANSI code page.  Empty when the
// text does not convert.
std::string AnsiToUtf8(const std::string &ansi);

// Top-level windows of a process.
std::vector<HWND> ProcessWindows(DWORD processId, bool visibleOnly = false);
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// The popup menu the process shows (class #32768), or null.
HWND FindPopupMenu(DWORD processId);
// A message box (dialog class, caption "Tivorn") of the process, or null.
HWND FindMessageBox(DWORD processId, const char *caption = "Tivorn");
// The text of a message box (its static control).
std::string MessageBoxText(HWND box);
// Presses a button of a dialog as a click would.
void PressButton(HWND dialog, int id);

// Answers message boxes of this process from a thread of its own, while the
// test's thread waits inside them: the first that has the caption, typed
// into the name box's edit first when typed is given, for at most 15 s; or
// every box, each with the button, until it ends.
enum class Boxes { First, Every };
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button = IDOK, const char *caption = "Tivorn", const char *typed = nullptr);
    explicit BoxAnswerer(Boxes every, int button = IDOK);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer &) = delete;
    BoxAnswerer &operator=(const BoxAnswerer &) = delete;

    struct Box {
        HWND owner;
        std::string text;
    };
    // The boxes answered so far.
    std::vector<Box> Seen();
    // Ends the answering; the first box's text, empty if none came.
    std::string Text();

private:
    void Run(Boxes which, int button);
    void Stop();

    const char *caption_;
    std::string typed_;
    bool type_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Box> seen_;
    std::thread thread_;
};

// A Tivorn.exe started by the test; ended (killed) at destruction if it is
// still running.
class TivornProcess {
public:
    TivornProcess() = default;
    ~TivornProcess();
    TivornProcess(const TivornProcess &) = delete;
    TivornProcess &operator=(const TivornProcess &) = delete;

    bool Start(const std::string &arguments = "", const std::string &exePath = "");
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }
    bool Running() const;
    // The resident window: titled "Tivorn", hidden, of this process.
    HWND WaitForResidentWindow(DWORD timeoutMs = 15000) const;
    // Waits for the end; returns the exit code, or STILL_ACTIVE on timeout.
    DWORD WaitForExit(DWORD timeoutMs = 15000) const;
    void Kill();
    // WM_COPYDATA with the command code, as the hook or a second start sends it.
    LRESULT SendCode(ULONG_PTR code) const;
    // A menu command, as choosing it in the tray menu does.
    void PostCommand(WORD id) const;
    // Ends the program the way the menu's exit does and waits for the end.
    DWORD Exit(DWORD timeoutMs = 15000);

private:
    PROCESS_INFORMATION info_ = {};
    mutable HWND resident_ = nullptr;
};

}  // namespace tt

#endif
