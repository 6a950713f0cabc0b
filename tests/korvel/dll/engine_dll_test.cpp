// KORVEL.dll's playback as the program sees it: imported by ordinal, played
// through the log output, message boxes answered as a user would.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/korvel.h"
#include "testing/midi_writer.h"
#include "testing/sf2_writer.h"
#include "testing/win_test_support.h"

namespace {

using midiw::Bytes;
using midiw::Track;

const char *const kEngineKey = tt::program_key::EngineKey();

struct EndRecord {
    int calls = 0;
    int value = -1;
    DWORD thread = 0;
};
EndRecord g_endA, g_endB;
void OnEndA(int value) { g_endA = {g_endA.calls + 1, value, GetCurrentThreadId()}; }
void OnEndB(int value) { g_endB = {g_endB.calls + 1, value, GetCurrentThreadId()}; }

// Waits for done() without running this thread's messages, so that the
// engine's notices stay queued.
bool PollUntil(const std::function<bool()> &done) {
    for (DWORD start = GetTickCount(); !done(); Sleep(10))
        if (GetTickCount() - start > 20000) return false;
    return true;
}

// A tune of 50 ms notes on channel 0.
Bytes ShortTune() { return midiw::Tune({60, 62, 64}, 48); }

// Notes that would sound for 20 s on channels 0, 1 and 9.
Bytes LongChord() {
    Track t;
    t.Program(0, 1, 40).NoteOn(0, 0, 60, 100).NoteOn(0, 1, 67, 100).NoteOn(0, 9, 36, 100);
    t.NoteOff(19200, 0, 60).NoteOff(0, 1, 67).NoteOff(0, 9, 36).End();
    return midiw::File(0, 480, {t});
}

// The threads of this process.
std::vector<DWORD> ProcessThreads() {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof entry, 0, 0, 0, 0, 0, 0};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.push_back(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
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
        logPath_ = scratch_.Join("play.log");
        SetSettingsKey(tt::program_key::Key());  // this process's key, beside other tests
        tt::program_key::WriteString(kEngineKey, "Output", "log:" + logPath_);
        g_endA = g_endB = EndRecord();
        ASSERT_TRUE(EngineInit());
    }
    void TearDown() override {
        EngineClose();
        tt::program_key::Delete(kEngineKey, "Output");
    }

    std::string Write(const std::string &name, const Bytes &bytes) { return scratch_.WriteFile(name, bytes); }

    // The log's lines, each message line checked for its form: whole
    // microseconds, then two-digit upper-case hex bytes, then perhaps " *".
    std::vector<std::string> Log() {
        std::vector<std::string> lines = tt::ReadLines(logPath_);
        lines.erase(std::remove_if(lines.begin(), lines.end(), tt::IsOutputLine), lines.end());  // not the song's
        for (const std::string &line : lines) {
            if (!IsMessageLine(line)) continue;
            size_t at = line.find_first_not_of("0123456789");
            std::string bytes = line.substr(at);
            if (bytes.size() > 2 && bytes.compare(bytes.size() - 2, 2, " *") == 0) bytes.resize(bytes.size() - 2);
            bool wellFormed = bytes.size() % 3 == 0 && !bytes.empty();
            for (size_t i = 0; wellFormed && i < bytes.size(); i += 3)
                wellFormed = bytes[i] == ' ' && std::strchr("0123456789ABCDEF", bytes[i + 1]) &&
                             std::strchr("0123456789ABCDEF", bytes[i + 2]);
            EXPECT_TRUE(wellFormed) << line;
        }
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
        ASSERT_TRUE(tt::WaitUntil([this] { return NoteOnsOfLastSong() == 3; }));
    }

    tt::ScratchFolder scratch_;
    std::string logPath_;
};

TEST_F(EngineDll, PlaysASongToItsEndAndCallsTheHandlerOnceOnThisThread) {
    std::string tune = Write("tune.mid", ShortTune());
    ASSERT_TRUE(OpenSong(tune.c_str(), 1));
    ASSERT_TRUE(StartSong(OnEndA));
    ASSERT_TRUE(tt::WaitUntil([] { return g_endA.calls > 0; }));
    EXPECT_EQ(g_endA.value, 1);
    EXPECT_EQ(g_endA.thread, GetCurrentThreadId());

    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "open " + tt::AnsiToUtf8(tune));
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
    ASSERT_TRUE(tt::WaitUntil([] { return g_endB.calls > 0; }));
    EXPECT_EQ(g_endA.calls, 1);
    EXPECT_EQ(g_endB.calls, 1);

    // A song that ended while its notice waited in the queue, and was
    // stopped before the notice came through, calls no handler.
    g_endA = EndRecord();
    ASSERT_TRUE(StartSong(OnEndA));
    ASSERT_TRUE(PollUntil([this] { return LastSong().back() == "end"; }));
    StopSong();
    EXPECT_TRUE(tt::WaitUntil([] { return true; }));
    EXPECT_EQ(g_endA.calls, 0);
    EXPECT_EQ(LastSong().back(), "end");  // it was no longer playing: no "stop"

    SetPlaybackOwner(GetDesktopWindow(), 1);
    EXPECT_EQ(PlaybackOwner(), GetDesktopWindow());
    SetPlaybackOwner(nullptr, 0);
    EXPECT_EQ(PlaybackOwner(), nullptr);
}

// The log is UTF-8 for whoever reads it, while paths come in code page
// 932, where the second byte of ソ is a backslash.
TEST_F(EngineDll, TheOpenLineNamesTheSongInUtf8) {
    ASSERT_EQ(std::string("曲ソ.mid"), "\x8B\xC8\x83\x5C.mid");  // literals are CP932 here
    std::string song = Write("曲ソ.mid", ShortTune());
    ASSERT_TRUE(OpenSong(song.c_str(), 1));
    ASSERT_TRUE(StartSong(OnEndA));
    ASSERT_TRUE(tt::WaitUntil([] { return g_endA.calls > 0; }));
    std::string folder = tt::AnsiToUtf8(scratch_.path());
    ASSERT_FALSE(folder.empty());
    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "open " + folder + "\\\xE6\x9B\xB2\xE3\x82\xBD.mid");
    EXPECT_EQ(log[1], "start");
    EXPECT_EQ(log.back(), "end");

    // A name that is no text of the code page (a lead byte before '.')
    // still gets its line, with its bytes as they were given.
    std::string odd = Write("x\x81.mid", ShortTune());
    ASSERT_TRUE(OpenSong(odd.c_str(), 1));
    EXPECT_EQ(Log().back(), "open " + folder + "\\x\x81.mid");
}

// A reader of the log sees a dense passage while it plays, and all of it as
// soon as a pause comes, although the engine gathers the lines of close
// moments into one write.
TEST_F(EngineDll, LinesReachTheLogWhileTheSongPlays) {
    Track t;  // 600 notes 2 ms apart (division 500 at 120 BPM: 1 tick = 1 ms), a 3 s pause, one note
    for (int i = 0; i < 600; ++i) t.NoteOn(i ? 1 : 0, 0, 60 + i % 12, 100).NoteOff(1, 0, 60 + i % 12);
    t.NoteOn(3000, 0, 72, 100).NoteOff(100, 0, 72).End();
    std::string dense = Write("dense.mid", midiw::File(0, 500, {t}));
    ASSERT_TRUE(OpenSong(dense.c_str(), 1));
    LARGE_INTEGER frequency, started, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    ASSERT_TRUE(StartSong(OnEndA));

    auto lastTimeUs = [this] {
        long long last = -1;
        for (const std::string &line : tt::ReadLines(logPath_))
            if (IsMessageLine(line)) last = std::stoll(line);
        return last;
    };
    // Half way through the passage the newest line is recent.  The margin
    // is wide: a busy machine may hold the whole playback thread back.
    Sleep(600);
    QueryPerformanceCounter(&now);
    long long elapsedUs = (now.QuadPart - started.QuadPart) * 1000000 / frequency.QuadPart;
    long long last = lastTimeUs();
    EXPECT_GT(last, 0);
    EXPECT_LT(elapsedUs - last, 300000) << "the newest line is from " << last << " us, " << elapsedUs << " us in";

    // In the pause every note of the passage is there.
    ASSERT_TRUE(PollUntil([&] { return NoteOnsOfLastSong() == 600; }));
    QueryPerformanceCounter(&now);
    EXPECT_LT((now.QuadPart - started.QuadPart) * 1000 / frequency.QuadPart, 3000) << "only at the end of the pause";
    StopSong();
    EXPECT_EQ(LastSong().back(), "stop");
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
    ASSERT_TRUE(tt::WaitUntil([] { return g_endB.calls > 0; }));
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

    EXPECT_TRUE(tt::WaitUntil([] { return true; }));
    EXPECT_EQ(g_endA.calls, 0);  // a stopped song never calls its handler
}

// The user picks another output while a song plays: the old one is
// silenced, the new one goes on with each channel's sounds; one that cannot
// be opened leaves the song where it was.
TEST_F(EngineDll, SwitchingTheOutputMovesThePlayingSongOver) {
    std::string chord = Write("chord.mid", LongChord());
    std::string second = scratch_.Join("second.log");
    PlayUntilChordSounds(chord);
    tt::program_key::WriteString(kEngineKey, "Output", "speaker");
    EXPECT_EQ(SwitchOutput(), 0);
    tt::program_key::WriteString(kEngineKey, "Output", "log:" + second);
    ASSERT_EQ(SwitchOutput(), 1);
    ExpectChordSilencedThen("stop");
    std::vector<std::string> moved;
    for (const std::string &line : tt::ReadLines(second)) moved.push_back(IsMessageLine(line) ? WithoutTime(line) : line);
    EXPECT_EQ(moved, (std::vector<std::string>{"output opened", "start", "C1 28 *"}));  // channel 1's program
    EXPECT_EQ(ActivityState(), 1);  // still playing, now on the new output
    StopSong();
    EXPECT_EQ(tt::ReadLines(second).back(), "stop");

    // Nothing plays: the next song opens the output then.
    tt::program_key::WriteString(kEngineKey, "Output", "log:" + logPath_);
    ASSERT_EQ(SwitchOutput(), 1);
    size_t before = tt::ReadLines(second).size();
    PlayUntilChordSounds(chord);
    StopSong();
    EXPECT_EQ(tt::ReadLines(second).size(), before);
}

// A process frozen in the middle of a song (a debugger, Modern Standby)
// goes on from where the song stood: the notes that sounded are released,
// and what fell due meanwhile does not come in one burst.
TEST_F(EngineDll, AFrozenSongGoesOnWhereItStoodWithoutABurst) {
    Track t;  // a note held on channel 1 under 30 notes 100 ms apart (division 500: a tick is 1 ms)
    t.NoteOn(0, 1, 48, 100);
    for (int i = 0; i < 30; ++i) t.NoteOn(i ? 50 : 0, 0, 60 + i % 12, 100).NoteOff(50, 0, 60 + i % 12);
    t.NoteOff(0, 1, 48).End();
    std::string steady = Write("steady.mid", midiw::File(0, 500, {t}));
    ASSERT_TRUE(OpenSong(steady.c_str(), 1));
    std::vector<DWORD> before = ProcessThreads(), after;
    ASSERT_TRUE(StartSong(OnEndA));
    for (DWORD id : ProcessThreads())
        if (std::find(before.begin(), before.end(), id) == before.end()) after.push_back(id);
    ASSERT_EQ(after.size(), 1u);  // the playback thread
    HANDLE player = OpenThread(THREAD_SUSPEND_RESUME, FALSE, after[0]);
    ASSERT_TRUE(tt::WaitUntil([this] { return NoteOnsOfLastSong() >= 4; }));

    // Frozen for as long as 15 notes take.  Nothing may allocate meanwhile:
    // the frozen thread may hold the heap's lock.
    ASSERT_NE(SuspendThread(player), static_cast<DWORD>(-1));
    LARGE_INTEGER frequency, frozen, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&frozen);
    do SwitchToThread(), QueryPerformanceCounter(&now);
    while (now.QuadPart - frozen.QuadPart < frequency.QuadPart * 3 / 2);
    ResumeThread(player);
    CloseHandle(player);
    ASSERT_TRUE(tt::WaitUntil([] { return g_endA.calls > 0; }));

    std::vector<std::string> song = LastSong();
    EXPECT_EQ(song.back(), "end");
    EXPECT_EQ(NoteOnsOfLastSong(), 31);
    // The held note was released by the engine once, before its own end.
    EXPECT_LT(std::find(song.begin(), song.end(), "81 30 40 *"), std::find(song.begin(), song.end(), "81 30 40"));
    // A busy machine may hold a few notes back, never the 15 of the freeze.
    std::vector<long long> noteOns;
    for (const std::string &line : Log())
        if (IsMessageLine(line) && WithoutTime(line)[0] == '9') noteOns.push_back(std::stoll(line));
    for (size_t i = 4; i < noteOns.size(); ++i) EXPECT_GT(noteOns[i] - noteOns[i - 4], 20000) << i;
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
        ASSERT_TRUE(tt::WaitUntil([] { return g_endA.calls > 0; }));
        played[readAtOnce] = LastSong();
    }
    EXPECT_EQ(played[0], played[1]);
    EXPECT_EQ(played[1].size(), 23u);

    tt::BoxAnswerer boxes(tt::Boxes::Every);
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
    const std::string refused[] = {scratch_.Join("missing.mid"), Write("empty.mid", {}),
                                   Write("text.mid", Bytes(text.begin(), text.end())), Write("huge.mid", huge),
                                   Write("nodivision.mid", midiw::Tune({60}, 10, 0, 0, 0)), scratch_.path()};
    size_t linesBefore = Log().size();
    for (const std::string &path : refused) {
        EXPECT_FALSE(OpenSong(path.c_str(), 1)) << path;
        EXPECT_FALSE(StartSong(OnEndA)) << path;
        EXPECT_NE(ReportPlayError(0, nullptr), 0) << path;
        EXPECT_NE(ReportPlayError(1, nullptr), 0) << path;
    }
    EXPECT_EQ(Log().size(), linesBefore);
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_EQ(g_endA.calls, 1);
}

TEST_F(EngineDll, WhenNothingCanPlayOneBoxSaysWhy) {
    std::string tune = Write("tune.mid", ShortTune());
    // Wine here has no MIDI device, so the mapper fails.
    const std::string settings[] = {"", "speaker", "log:" + scratch_.Join("no\\such\\folder\\play.log")};
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    int preview = 0;
    for (const std::string &setting : settings) {
        EngineClose();
        tt::program_key::WriteString(kEngineKey, "Output", setting);
        ASSERT_TRUE(EngineInit());
        tt::BoxAnswerer watcher(tt::Boxes::Every);
        ASSERT_TRUE(OpenSong(tune.c_str(), 1)) << setting;
        EXPECT_FALSE(StartSong(OnEndA)) << setting;
        EXPECT_EQ(ReportPlayError(preview, owner), 0) << setting;  // for the player and a preview alike
        preview ^= 1;
        std::vector<tt::BoxAnswerer::Box> boxes = watcher.Seen();
        ASSERT_EQ(boxes.size(), 1u) << setting;
        EXPECT_EQ(boxes[0].owner, owner);
        EXPECT_GT(boxes[0].text.size(), 20u) << setting;
    }
    DestroyWindow(owner);
    EXPECT_EQ(g_endA.calls, 0);
}

// Wine here has no audio server (and no MIDI device for the mapper): the
// synthesizer says that no audio device is there.  A SoundFont that cannot
// be used gives way to the mapper, and the user is told why once, with the
// mapper's own failure; the next song says only the latter.
TEST_F(EngineDll, TheSynthesizerSaysWhatStopsItAndTellsOfABadSoundFontOnce) {
    std::string tune = Write("tune.mid", ShortTune());
    Bytes cut = sf2w::Simple().Build();
    cut.resize(cut.size() - 50);  // the sample headers cut short
    const struct {
        std::string font;
        const char *reason;  // null: the font is good
    } cases[] = {{Write("good.sf2", sf2w::Simple().Build()), nullptr},
                 {scratch_.Join("missing.sf2"), "ファイルが見つかりません。"},
                 {Write("cut.sf2", cut), "ファイルが壊れています。"}};
    for (const auto &c : cases) {
        EngineClose();
        tt::program_key::WriteString(kEngineKey, "Output", "synth:" + c.font);
        ASSERT_TRUE(EngineInit());
        std::vector<tt::BoxAnswerer::Box> boxes;
        for (int song = 0; song < 2; ++song) {
            tt::BoxAnswerer watcher(tt::Boxes::Every);
            ASSERT_TRUE(OpenSong(tune.c_str(), 1));
            EXPECT_FALSE(StartSong(OnEndA)) << c.font;
            EXPECT_EQ(ReportPlayError(0, nullptr), 0) << c.font;
            boxes = watcher.Seen();
            ASSERT_EQ(boxes.size(), 1u) << c.font;
            const std::string &text = boxes[0].text;
            bool toldFont = text.find(c.font) != std::string::npos;
            if (!c.reason) {
                EXPECT_NE(text.find("オーディオデバイスが見つからない"), std::string::npos) << text;
                EXPECT_FALSE(toldFont) << text;
                continue;
            }
            EXPECT_NE(text.find("MIDI出力デバイスが見つからない"), std::string::npos) << text;
            EXPECT_EQ(toldFont, song == 0) << text;
            EXPECT_EQ(text.find(c.reason) != std::string::npos, song == 0) << text;
        }
    }
    KorvelSynthStats stats = {};
    stats.size = sizeof stats;
    EXPECT_EQ(SynthOutputStats(&stats), 0);  // no stream ever opened
    EXPECT_EQ(g_endA.calls, 0);
}

}  // namespace
