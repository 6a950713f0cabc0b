// KORVEL.dll's playback as the program sees it: imported by ordinal, played
// through the log output, message boxes answered as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/korvel.h"
#include "support/midi_writer.h"

namespace {

using midiw::Bytes;
using midiw::Track;

const char kEngineKey[] = "Software\\Zarnith\\Tivorn\\Engine";

// Sets "Output" for the test and puts back what was there.
class OutputValue {
public:
    OutputValue() {
        DWORD size = sizeof saved_;
        hadValue_ = RegGetValueA(HKEY_CURRENT_USER, kEngineKey, "Output", RRF_RT_REG_SZ, nullptr, saved_, &size) ==
                    ERROR_SUCCESS;
    }
    ~OutputValue() {
        if (hadValue_)
            Set(saved_);
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kEngineKey, "Output");
    }
    void Set(const std::string &value) {
        RegSetKeyValueA(HKEY_CURRENT_USER, kEngineKey, "Output", REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size() + 1));
    }

private:
    char saved_[600] = {};
    bool hadValue_ = false;
};

struct EndRecord {
    int calls = 0;
    int value = -1;
    DWORD thread = 0;
};
EndRecord g_endA, g_endB;
void OnEndA(int value) { g_endA = {g_endA.calls + 1, value, GetCurrentThreadId()}; }
void OnEndB(int value) { g_endB = {g_endB.calls + 1, value, GetCurrentThreadId()}; }

// Runs this thread's messages (the engine's end notices among them) until
// done() holds or a generous deadline passes.
bool PumpUntil(const std::function<bool()> &done) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        if (done()) return true;
        if (GetTickCount() - start > 20000) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Waits for done() without running this thread's messages, so that the
// engine's notices stay queued.
bool PollUntil(const std::function<bool()> &done) {
    for (DWORD start = GetTickCount(); !done(); Sleep(10))
        if (GetTickCount() - start > 20000) return false;
    return true;
}

// Answers every message box of this process with OK and keeps its text.
class BoxWatcher {
public:
    BoxWatcher() : thread_([this] { Run(); }) {}
    ~BoxWatcher() {
        done_ = true;
        thread_.join();
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    void Run() {
        while (!done_) {
            EnumWindows(
                [](HWND window, LPARAM self) -> BOOL {
                    reinterpret_cast<BoxWatcher *>(self)->Check(window);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(this));
            Sleep(20);
        }
    }
    void Check(HWND window) {
        DWORD process = 0;
        char className[16], caption[16];
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window) || answered_.count(window)) return;
        if (!GetClassNameA(window, className, sizeof className) || std::string(className) != "#32770") return;
        GetWindowTextA(window, caption, sizeof caption);
        std::string text = std::string(caption) + "|";
        // The message is the longest static text of the box.
        EnumChildWindows(
            window,
            [](HWND child, LPARAM out) -> BOOL {
                char name[16], buffer[1024];
                GetClassNameA(child, name, sizeof name);
                if (lstrcmpiA(name, "Static") == 0 && GetWindowTextA(child, buffer, sizeof buffer) > 0) {
                    std::string *best = reinterpret_cast<std::string *>(out);
                    std::string caption = best->substr(0, best->find('|') + 1);
                    if (std::string(buffer).size() > best->size() - caption.size()) *best = caption + buffer;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        answered_.insert(window);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(text);
        }
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }

    std::atomic<bool> done_{false};
    std::set<HWND> answered_;
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

// A tune of 50 ms notes on channel 0.
Bytes ShortTune() { return midiw::Tune({60, 62, 64}, 48); }

// Notes that would sound for 20 s on channels 0, 1 and 9.
Bytes LongChord() {
    Track t;
    t.Program(0, 1, 40).NoteOn(0, 0, 60, 100).NoteOn(0, 1, 67, 100).NoteOn(0, 9, 36, 100);
    t.NoteOff(19200, 0, 60).NoteOff(0, 1, 67).NoteOff(0, 9, 36).End();
    return midiw::File(0, 480, {t});
}

bool IsMessageLine(const std::string &line) { return !line.empty() && line[0] >= '0' && line[0] <= '9'; }

// A message line without its time: "90 3C 64" or "B0 7B 00 *".
std::string WithoutTime(const std::string &line) { return line.substr(line.find(' ') + 1); }

// What silences the long chord: each channel's sounding note, then Sustain
// off, All Sound Off and All Notes Off.
const std::vector<std::string> kChordSilence = {"80 3C 40 *", "B0 40 00 *", "B0 78 00 *", "B0 7B 00 *",
                                                "81 43 40 *", "B1 40 00 *", "B1 78 00 *", "B1 7B 00 *",
                                                "89 24 40 *", "B9 40 00 *", "B9 78 00 *", "B9 7B 00 *"};

class EngineDll : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir_ = std::string(temp) + "korvel-engine-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
        logPath_ = dir_ + "play.log";
        DeleteFileA(logPath_.c_str());
        output_.Set("log:" + logPath_);
        g_endA = g_endB = EndRecord();
        ASSERT_TRUE(EngineInit());
    }
    void TearDown() override {
        EngineClose();
        for (const std::string &file : files_) DeleteFileA(file.c_str());
        DeleteFileA(logPath_.c_str());
        RemoveDirectoryA(dir_.c_str());
    }

    std::string Write(const std::string &name, const Bytes &bytes) {
        std::string path = dir_ + name;
        EXPECT_TRUE(midiw::Save(path, bytes));
        files_.push_back(path);
        return path;
    }

    // The log as lines, checked for their exact form on the way.
    std::vector<std::string> Log() {
        std::vector<std::string> lines;
        HANDLE file = CreateFileA(logPath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return lines;
        std::string text;
        char buffer[65536];
        DWORD read;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
        CloseHandle(file);
        size_t start = 0, end;
        while ((end = text.find("\r\n", start)) != std::string::npos) {
            std::string line = text.substr(start, end - start);
            if (IsMessageLine(line)) {
                EXPECT_EQ(line.find_first_not_of("0123456789"), line.find(' ')) << line;
                std::string rest = WithoutTime(line);
                if (rest.size() >= 2 && rest.compare(rest.size() - 2, 2, " *") == 0) rest.resize(rest.size() - 2);
                for (size_t i = 0; i < rest.size(); i += 3) {
                    EXPECT_TRUE(isxdigit(rest[i]) && isxdigit(rest[i + 1]) && !islower(rest[i]) && !islower(rest[i + 1]))
                        << line;
                    if (i + 2 < rest.size()) {
                        EXPECT_EQ(rest[i + 2], ' ') << line;
                    }
                }
            }
            lines.push_back(line);
            start = end + 2;
        }
        EXPECT_EQ(start, text.size()) << "a line was left unfinished";
        return lines;
    }

    // The lines of the last song since its "start", times dropped.
    std::vector<std::string> LastSong() {
        std::vector<std::string> all = Log(), song;
        for (const std::string &line : all) {
            if (line == "start") song.clear();
            song.push_back(IsMessageLine(line) ? WithoutTime(line) : line);
        }
        return song;
    }

    int NoteOnsOfLastSong() {
        int count = 0;
        for (const std::string &line : LastSong())
            if (line.compare(0, 1, "9") == 0 && line.find('*') == std::string::npos) ++count;
        return count;
    }

    // The last song ended with marker right after the chord's silence.
    void ExpectChordSilencedThen(const std::string &marker) {
        std::vector<std::string> song = LastSong();
        ASSERT_GT(song.size(), kChordSilence.size());
        EXPECT_EQ(song.back(), marker);
        EXPECT_EQ(std::vector<std::string>(song.end() - 13, song.end() - 1), kChordSilence);
    }

    void PlayUntilChordSounds(const std::string &path) {
        ASSERT_TRUE(OpenSong(path.c_str(), 1));
        ASSERT_TRUE(StartSong(OnEndA));
        ASSERT_TRUE(PumpUntil([this] { return NoteOnsOfLastSong() == 3; }));
    }

    OutputValue output_;
    std::string dir_, logPath_;
    std::vector<std::string> files_;
};

TEST_F(EngineDll, PlaysASongToItsEndAndCallsTheHandlerOnceOnThisThread) {
    std::string tune = Write("tune.mid", ShortTune());
    ASSERT_TRUE(OpenSong(tune.c_str(), 1));
    ASSERT_TRUE(StartSong(OnEndA));
    ASSERT_TRUE(PumpUntil([] { return g_endA.calls > 0; }));
    EXPECT_EQ(g_endA.value, 1);
    EXPECT_EQ(g_endA.thread, GetCurrentThreadId());

    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "open " + tune);
    EXPECT_EQ(log[1], "start");
    std::vector<std::string> song = LastSong();
    EXPECT_EQ(song, (std::vector<std::string>{"start", "F0 7E 7F 09 01 F7 *", "C0 00", "90 3C 60", "80 3C 40",
                                              "90 3E 60", "80 3E 40", "90 40 60", "80 40 40", "B0 40 00 *",
                                              "B0 78 00 *", "B0 7B 00 *", "end"}));
    // Times count up from the start.
    long long previous = 0;
    for (const std::string &line : log)
        if (IsMessageLine(line)) {
            long long t = std::stoll(line);
            EXPECT_GE(t, previous);
            previous = t;
        }

    // The next song's end reaches only its own handler: the first ran once.
    ASSERT_TRUE(StartSong(OnEndB));  // the same song again
    ASSERT_TRUE(PumpUntil([] { return g_endB.calls > 0; }));
    EXPECT_EQ(g_endA.calls, 1);
    EXPECT_EQ(g_endB.calls, 1);

    // A song that ended while its notice waited in the queue, and was
    // stopped before the notice came through, calls no handler.
    g_endA = EndRecord();
    ASSERT_TRUE(StartSong(OnEndA));
    ASSERT_TRUE(PollUntil([this] { return LastSong().back() == "end"; }));
    StopSong();
    EXPECT_TRUE(PumpUntil([] { return true; }));
    EXPECT_EQ(g_endA.calls, 0);
    EXPECT_EQ(LastSong().back(), "end");  // it was no longer playing: no "stop"

    SetPlaybackOwner(GetDesktopWindow(), 1);
    EXPECT_EQ(PlaybackOwner(), GetDesktopWindow());
    SetPlaybackOwner(nullptr, 0);
    EXPECT_EQ(PlaybackOwner(), nullptr);
}

TEST_F(EngineDll, StopSkipSuspendAndCloseLeaveNoNoteHanging) {
    std::string chord = Write("chord.mid", LongChord());
    std::string tune = Write("tune.mid", ShortTune());

    PlayUntilChordSounds(chord);
    EXPECT_EQ(ActivityState(), 1);
    StopSong();
    EXPECT_EQ(ActivityState(), 0);
    ExpectChordSilencedThen("stop");
    StopSong();  // nothing plays: nothing more is written
    EXPECT_EQ(LastSong().back(), "stop");

    // Skipping to another song without a stop stops the first all the same.
    PlayUntilChordSounds(chord);
    ASSERT_TRUE(OpenSong(tune.c_str(), 1));
    size_t before = Log().size();
    ASSERT_TRUE(StartSong(OnEndB));
    ASSERT_TRUE(PumpUntil([] { return g_endB.calls > 0; }));
    std::vector<std::string> added;
    std::vector<std::string> log = Log();
    for (size_t i = before; i < log.size() && log[i] != "start"; ++i) added.push_back(WithoutTime(log[i]));
    std::vector<std::string> expected = kChordSilence;
    expected.push_back("stop");
    EXPECT_EQ(added, expected);

    // The machine going to sleep stops the song; the next start opens the
    // output again.
    PlayUntilChordSounds(chord);
    HWND engineWindow = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            char name[64];
            if (GetClassNameA(window, name, sizeof name) && std::string(name) == "KorvelPlaybackWindow") {
                *reinterpret_cast<HWND *>(found) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&engineWindow));
    ASSERT_NE(engineWindow, nullptr);
    SendMessageA(engineWindow, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    ExpectChordSilencedThen("stop");
    PlayUntilChordSounds(chord);

    EXPECT_EQ(EngineClose(), 1);
    ExpectChordSilencedThen("stop");
    ASSERT_TRUE(EngineInit());

    EXPECT_TRUE(PumpUntil([] { return true; }));
    EXPECT_EQ(g_endA.calls, 0);  // a stopped song never calls its handler
}

TEST_F(EngineDll, ReadingAtOnceOrNotPlaysTheSameAndFaultsOfTheFileAreQuiet) {
    Track a, b, c;
    a.Tempo(0, 400000).NoteOn(0, 0, 60, 90).NoteOff(96, 0, 60).Tempo(0, 300000).NoteOn(0, 0, 62, 90).End(96);
    b.Sysex(0, {0x41, 0x10, 0x42, 0x12, 0xF7}).NoteOn(48, 3, 50, 70).Raw({48, 50, 0}).End();
    c.Controller(96, 9, 7, 100).NoteOn(0, 9, 42, 1).Escape(0, {0xF8}).End();
    std::string multi = Write("multi.mid", midiw::File(1, 96, {a, b, c}));
    std::vector<std::string> played[2];
    for (int readAtOnce : {1, 0}) {
        g_endA = EndRecord();
        ASSERT_TRUE(OpenSong(multi.c_str(), readAtOnce));
        ASSERT_TRUE(StartSong(OnEndA));
        ASSERT_TRUE(PumpUntil([] { return g_endA.calls > 0; }));
        played[readAtOnce] = LastSong();
    }
    EXPECT_EQ(played[0], played[1]);
    EXPECT_EQ(played[1].size(), 23u);

    BoxWatcher boxes;
    Track broken;
    broken.NoteOn(0, 0, 60, 100).Raw({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 0}).End();
    std::string damaged = Write("damaged.mid", midiw::File(0, 96, {broken}));
    EXPECT_FALSE(OpenSong(damaged.c_str(), 1));
    EXPECT_NE(ReportPlayError(0, nullptr), 0);
    // Without reading at once only the header is checked when opening.
    EXPECT_TRUE(OpenSong(damaged.c_str(), 0));
    EXPECT_FALSE(StartSong(OnEndA));
    EXPECT_NE(ReportPlayError(1, nullptr), 0);

    Bytes huge = ShortTune();
    huge.resize(16 * 1024 * 1024 + 1);
    std::string text = "not a song";
    const std::string refused[] = {dir_ + "missing.mid", Write("empty.mid", {}),
                                   Write("text.mid", Bytes(text.begin(), text.end())), Write("huge.mid", huge),
                                   Write("nodivision.mid", midiw::Tune({60}, 10, 0, 0, 0)), dir_};
    size_t linesBefore = Log().size();
    for (const std::string &path : refused) {
        EXPECT_FALSE(OpenSong(path.c_str(), 1)) << path;
        EXPECT_FALSE(StartSong(OnEndA)) << path;
        EXPECT_NE(ReportPlayError(0, nullptr), 0) << path;
        EXPECT_NE(ReportPlayError(1, nullptr), 0) << path;
    }
    EXPECT_EQ(Log().size(), linesBefore);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(g_endA.calls, 1);
}

TEST_F(EngineDll, WhenNothingCanPlayOneBoxSaysWhy) {
    std::string tune = Write("tune.mid", ShortTune());
    // Wine here has no MIDI device, so the mapper fails.
    const std::string settings[] = {"", "speaker", "log:" + dir_ + "no\\such\\folder\\play.log"};
    for (const std::string &setting : settings) {
        EngineClose();
        output_.Set(setting);
        ASSERT_TRUE(EngineInit());
        BoxWatcher boxes;
        ASSERT_TRUE(OpenSong(tune.c_str(), 1)) << setting;
        EXPECT_FALSE(StartSong(OnEndA)) << setting;
        EXPECT_EQ(ReportPlayError(0, nullptr), 0) << setting;
        std::vector<std::string> texts = boxes.Texts();
        ASSERT_EQ(texts.size(), 1u) << setting;
        EXPECT_EQ(texts[0].substr(0, 7), "Tivorn|");
        EXPECT_GT(texts[0].size(), 20u) << texts[0];
    }
    EXPECT_EQ(g_endA.calls, 0);
}

}  // namespace
