// The built-in synthesizer heard in real time, through KORVEL.dll as the
// program plays: a dense song (bench/gm_songs.h) through the synth: output
// into the system's audio.  Under Wine that is the PulseAudio server with a
// null sink that scripts/bench.sh starts; without one the figures are
// skipped.
//
// Goals:
//   the song's voices, the render thread's time less its time over a silent
//     song of the same length, at most fluidsynth's whole process less its
//     own silent song, played through the same server in the same run
//     (scripts/fluidsynth_realtime.py, passed in TIVORN_BENCH_FLUIDSYNTH_CPU);
//   no underrun, counted by the output itself, in three plays of the song
//     while a compile (scripts/bench.sh) or another process keeps a
//     processor busy;
//   at most 30 ms from StartSong to the first sample at the device;
//   memory, with the large FluidR3 GM SoundFont (TIVORN_BENCH_MEMORY_SOUNDFONT
//     for another): private memory at most 32 MB over the log output's while
//     the song plays (the tray program's own, stopped, is player_bench's), beside
//     fluidsynth's resident memory for the same font (which scripts/bench.sh
//     measures and passes in TIVORN_BENCH_FLUIDSYNTH_KB).
//
// Beside each figure, whose part it is: the synthesizer's own render (the
// same song rendered offline in this process), the render thread's, and the
// audio system's (a silent song of the same length through the same
// output); the fixed scheduling delay within the latency, and what the
// device adds after it; the longest gap between the render thread's wakes
// beside the underruns, and the machine's load.
//
//   synth_realtime_bench [memory|cpu|busy|latency]   one part alone
//   synth_realtime_bench --spin                the busy process itself
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_figure.h"
#include "bench/gm_songs.h"
#include "engine/korvel.h"
#include "korvel/song/smf_reader.h"
#include "korvel/synth_output/song_render.h"
#include "korvel/synth/file_source.h"
#include "korvel/synth/synthesizer.h"

namespace {

constexpr double kLatencyGoalMs = 30.0;
constexpr int kLatencyStarts = 7;
constexpr int kBusyRuns = 3;
constexpr double kPlayingGoalMb = 32.0;
// The output's margin for late wakes within its scheduling delay.
constexpr LONG kScheduleMarginUs = 3000;

volatile bool g_ended = false;
void OnEnd(int) { g_ended = true; }

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return static_cast<double>(k.QuadPart + u.QuadPart) / 1e7;
}

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME &t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

// The machine's load where the system tells it (Linux under Wine), or empty.
std::string LoadAverage() {
    std::string text;
    if (FILE *file = std::fopen("Z:\\proc\\loadavg", "r")) {
        char line[128] = {};
        if (std::fgets(line, sizeof line, file)) text.assign(line, std::strcspn(line, " "));
        std::fclose(file);
    }
    return text;
}

// The synthesizer alone: the song rendered offline in this process at rate,
// with reverb and chorus as the output has them; its processor time as a
// share of one core over the sound's length.  Negative when it cannot be had.
double OfflineRenderPercent(const midiw::Bytes &bytes, const std::string &fontPath, int rate) {
    korvel::Song song;
    if (korvel::ReadSmf(bytes.data(), bytes.size(), song) != korvel::SmfError::None) return -1;
    synth::FileSource source;
    if (source.Open(fontPath.c_str()) != synth::FileOpen::Opened) return -1;
    synth::ReadResult font = synth::ReadSoundFont(source);
    if (!font.font) return -1;
    synth::Synthesizer synthesizer(font.font, rate);
    uint64_t frames = 0;
    double cpu0 = ThreadCpuSeconds();
    korvel::RenderSong(song, synthesizer, [&](const float *, size_t n) {
        frames += n;
        return true;
    });
    double cpu = ThreadCpuSeconds() - cpu0;
    return frames ? 100.0 * cpu * rate / static_cast<double>(frames) : -1;
}

// Nothing but a controller, and the end after seconds: the output's stream
// runs as long as for a song, with no voice to render.
midiw::Bytes SilentSong(double seconds) {
    midiw::Track track;
    track.Tempo(0, 500000);  // at 1000 ticks a beat, a tick is half a millisecond
    track.Controller(0, 0, 7, 100);
    track.End(static_cast<uint32_t>(seconds * 2000));
    return midiw::File(0, 1000, {track});
}

bool Stats(KorvelSynthStats &stats) {
    std::memset(&stats, 0, sizeof stats);
    stats.size = sizeof stats;
    return SynthOutputStats(&stats) != 0;
}

const char *Verdict(bool met) { return met ? "met" : "MISSED"; }

void Pump() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Plays the song to its end, or for at most seconds; false when it would
// not start.  each runs between the waits.
bool Play(const std::string &song, double seconds = 1e9, const std::function<void()> &each = {}) {
    if (!OpenSong(song.c_str(), 1)) return false;
    g_ended = false;
    if (!StartSong(OnEnd)) return false;
    double until = Now() + seconds;
    while (!g_ended && Now() < until) {
        Pump();
        if (each) each();
    }
    if (!g_ended) StopSong();
    return true;
}

// The process's private memory in MB: PagefileUsage, the commit charge,
// which Wine fills where it leaves PrivateUsage at 0.
double PrivateMb() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
}

void SetOutput(const std::string &key, const std::string &output) {
    RegSetKeyValueA(HKEY_CURRENT_USER, (key + "\\Engine").c_str(), "Output", REG_SZ, output.c_str(),
                    static_cast<DWORD>(output.size() + 1));
}

// The largest file view in the process, in MB: the SoundFont's while it is mapped.
double LargestViewMb() {
    size_t largest = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char *at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<const char *>(info.BaseAddress) + info.RegionSize) {
        if (info.Type == MEM_MAPPED && info.State == MEM_COMMIT) largest = std::max(largest, info.RegionSize);
        if (info.RegionSize == 0) break;
    }
    return static_cast<double>(largest) / (1024.0 * 1024.0);
}

struct MemoryFigures {
    double playingMb = 0;  // the most while the song played
    double stoppedMb = 0;  // once the engine let the output go
    double playingViewMb = 0, stoppedViewMb = 0;
    double latencyMs = -1;
};

// Seconds of the song, then stopped as the player stops, and a while for
// the engine to let the output go, as the tray program sits stopped.
MemoryFigures PlayForMemory(const std::string &song, double seconds) {
    MemoryFigures figures;
    Play(song, seconds, [&] {
        figures.playingMb = std::max(figures.playingMb, PrivateMb());
        figures.playingViewMb = std::max(figures.playingViewMb, LargestViewMb());
    });
    for (double until = Now() + 1.0; Now() < until;) Pump();
    figures.stoppedMb = PrivateMb();
    figures.stoppedViewMb = LargestViewMb();
    KorvelSynthStats stats;
    if (Stats(stats) && stats.latencyUs >= 0) figures.latencyMs = stats.latencyUs / 1000.0;
    return figures;
}

// The log output and then the synth: output with fontPath, each for the
// same stretch of the dense song.  true when the goals are met.
bool MeasureMemory(const std::string &key, const std::string &song, const std::string &fontPath) {
    std::printf("  memory with %s:\n", fontPath.c_str());
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string log = std::string(temp) + "synth-realtime-bench.log";
    SetOutput(key, "log:" + log);
    MemoryFigures logged = PlayForMemory(song, 4.0);
    DeleteFileA(log.c_str());
    SetOutput(key, "synth:" + fontPath);
    MemoryFigures first = PlayForMemory(song, 4.0);  // the SoundFont read and mapped
    MemoryFigures again = PlayForMemory(song, 4.0);  // mapped again after the stop
    SetOutput(key, "log:" + log);
    MemoryFigures after = PlayForMemory(song, 4.0);  // what playing sound left in the process
    DeleteFileA(log.c_str());
    if (first.latencyMs < 0) {
        std::printf("    not measured: the synth: output did not sound\n");
        return false;
    }
    const double stopped = std::max(first.stoppedMb, again.stoppedMb);
    const double playing = std::max(first.playingMb, again.playingMb) - logged.playingMb;
    const bool playingMet = playing <= kPlayingGoalMb;
    // The goal is the one the latency figure below has always held: a start
    // on an output opened before.  The session's first start also opens the
    // process's first audio device, and is shown for what it is.
    const bool latencyMet = again.latencyMs <= kLatencyGoalMs;
    // The tray program's own figure, and its goal, is player_bench's.
    std::printf("    this process's private memory stopped: %.1f MB, against %.1f MB with the log output;\n"
                "    of which what the sound left in the process (the audio system, heap), the same with the\n"
                "    log output after the synth: output played: %.1f MB; what the synth: output holds: %.1f MB\n",
                stopped, logged.stoppedMb, after.stoppedMb - logged.stoppedMb, stopped - after.stoppedMb);
    std::printf("    the largest file view in the process (the SoundFont's while it is mapped): %.1f MB while\n"
                "    playing, %.1f MB while stopped\n",
                std::max(first.playingViewMb, again.playingViewMb), std::max(first.stoppedViewMb, again.stoppedViewMb));
    std::printf("    while the dense song plays: %+.1f MB over the log output's %.1f MB; goal <= +%.0f MB: %s\n",
                playing, logged.playingMb, kPlayingGoalMb, Verdict(playingMet));
    if (const char *kb = std::getenv("TIVORN_BENCH_FLUIDSYNTH_KB"))
        std::printf("    fluidsynth's resident memory rendering the same song with the same font: %.1f MB\n",
                    std::atof(kb) / 1024.0);
    std::printf("    StartSong to the first sample: %.1f ms for the session's first song (the SoundFont read,\n"
                "    the process's first audio device opened; no goal), %.1f ms after a stop that let the file\n"
                "    go (mapped again); goal <= %.0f ms: %s\n",
                first.latencyMs, again.latencyMs, kLatencyGoalMs, Verdict(latencyMet));
    return playingMet && latencyMet;
}

// The large SoundFont the memory is measured with, as Windows sees it.
std::string MemorySoundFontPath() {
    const char *unix = std::getenv("TIVORN_BENCH_MEMORY_SOUNDFONT");
    std::string path = std::string("Z:") + (unix && *unix ? unix : "/usr/share/sounds/sf2/FluidR3_GM.sf2");
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Another process that keeps one processor busy while it lives.  The song
// starts once it spins: a process starting up under Wine keeps the
// wineserver, through which every wait goes, busy for a while, which is
// not what is measured here.
class Spinner {
public:
    Spinner() {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        char name[64];
        std::snprintf(name, sizeof name, "TivornBenchSpinning-%lu", GetCurrentProcessId());
        HANDLE spinning = CreateEventA(nullptr, TRUE, FALSE, name);
        std::string command = std::string("\"") + self + "\" --spin " + name;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
            CloseHandle(process_.hThread);
            HANDLE handles[2] = {spinning, process_.hProcess};
            WaitForMultipleObjects(2, handles, FALSE, 10000);
            Sleep(500);  // its last start-up work settles
        } else {
            process_.hProcess = nullptr;
        }
        if (spinning) CloseHandle(spinning);
    }
    ~Spinner() {
        if (!process_.hProcess) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
    }
    bool running() const { return process_.hProcess != nullptr; }

private:
    PROCESS_INFORMATION process_ = {};
};

// The other core busy with a compile, as a developer's machine is: where
// scripts/bench.sh runs one while this process holds the flag file it
// names (TIVORN_BENCH_BUSY_FLAG), compiles follow one another until the
// file goes.  The song starts once the first compile runs.
class BusyCompile {
public:
    BusyCompile() {
        const char *flag = std::getenv("TIVORN_BENCH_BUSY_FLAG");
        if (!flag || !*flag || std::strlen(flag) + 9 > sizeof flag_) return;
        std::snprintf(flag_, sizeof flag_, "%s", flag);
        std::snprintf(running_, sizeof running_, "%s.running", flag);
        HANDLE file = CreateFileA(flag_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        CloseHandle(file);
        for (int i = 0; i < 100 && !Exists(running_); ++i) Sleep(100);
        busy_ = Exists(running_);
        Sleep(500);  // the compiler past its start
    }
    ~BusyCompile() {
        if (!flag_[0]) return;
        DeleteFileA(flag_);
        // The compile under way ends before what follows is measured.
        for (int i = 0; i < 600 && Exists(running_); ++i) Sleep(100);
    }
    static bool Wanted() {
        const char *flag = std::getenv("TIVORN_BENCH_BUSY_FLAG");
        return flag && *flag;
    }
    bool running() const { return busy_; }

private:
    static bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
    char flag_[MAX_PATH] = {};
    char running_[MAX_PATH] = {};
    bool busy_ = false;
};

const char *ApiName(WORD api) {
    return api == KORVEL_AUDIO_WASAPI ? "WASAPI" : api == KORVEL_AUDIO_WAVEOUT ? "waveOut" : "?";
}

// The SoundFont as Windows sees it: the bench's choice (a Unix path, on
// Wine's drive Z:) or the packaged General MIDI one.
std::string SoundFontPath() {
    const char *unix = std::getenv("TIVORN_BENCH_SOUNDFONT");
    std::string path = std::string("Z:") + (unix && *unix ? unix : "/usr/share/sounds/sf2/TimGM6mb.sf2");
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--spin") == 0) {
        if (argc > 2)
            if (HANDLE spinning = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2])) SetEvent(spinning);
        for (volatile unsigned long n = 0;; n = n + 1) {
        }
    }
    const char *part = argc > 1 ? argv[1] : nullptr;
    auto Runs = [part](const char *name) { return !part || std::strcmp(part, name) == 0; };
    std::printf("Built-in synthesizer in real time (synth: output, dense band song)\n");
    if (!std::getenv("PULSE_SERVER")) {
        std::printf("  skipped: no PulseAudio server to play into (scripts/bench.sh starts one)\n");
        return 0;
    }
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string song = std::string(temp) + "synth-realtime-bench.mid";
    std::string silentPath = std::string(temp) + "synth-realtime-bench-silent.mid";
    if (!midiw::Save(song, gmsongs::BandSong())) {
        std::printf("  cannot write %s\n", song.c_str());
        return 1;
    }
    std::string font = SoundFontPath();
    if (GetFileAttributesA(font.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("  skipped: no SoundFont at %s\n", font.c_str());
        return 0;
    }

    // A key of the bench's own for Engine\Output, so the program's is left alone.
    char key[64];
    std::snprintf(key, sizeof key, "Software\\Zarnith\\TivornBench-%lu", GetCurrentProcessId());
    std::vector<BYTE> settings(29, 0);
    settings[4] = 2;  // priority 通常
    RegSetKeyValueA(HKEY_CURRENT_USER, key, "Settings", REG_BINARY, settings.data(), static_cast<DWORD>(settings.size()));
    std::string output = "synth:" + font;
    RegSetKeyValueA(HKEY_CURRENT_USER, (std::string(key) + "\\Engine").c_str(), "Output", REG_SZ, output.c_str(),
                    static_cast<DWORD>(output.size() + 1));
    SetSettingsKey(key);

    int status = 1;
    KorvelSynthStats before, after;
    const bool initialised = EngineInit() != 0;
    bool memoryMet = true;
    if (initialised && Runs("memory")) {
        const std::string large = MemorySoundFontPath();
        if (GetFileAttributesA(large.c_str()) == INVALID_FILE_ATTRIBUTES)
            std::printf("  memory: skipped, no SoundFont at %s\n", large.c_str());
        else
            memoryMet = MeasureMemory(key, song, large);
        SetOutput(key, output);
    }
    if (!initialised) {
        std::printf("  the engine did not start\n");
    } else if (!Play(song, 1.0) || !Stats(before) || !before.open) {
        // The first, short play opens the output and loads the SoundFont, so
        // that neither is counted below.
        std::printf("  the synth: output did not open (SynthOutputStats: %s)\n",
                    Stats(before) ? "no output open" : "no figures");
    } else {
        std::printf("  device: %s, %lu Hz, %u channels, %u-bit %s\n", ApiName(before.api), before.sampleRate,
                    before.channels, before.bitsPerSample, before.isFloat ? "float" : "integer");
        bool met = memoryMet;

        std::string load = LoadAverage();
        if (!load.empty()) std::printf("  machine load (1-minute average) at the start: %s\n", load.c_str());

        if (Runs("cpu")) {
            // CPU: the whole process over the song's time.
            double cpu0 = ProcessCpuSeconds(), wall0 = Now();
            Play(song);
            double wall = Now() - wall0, cpu = ProcessCpuSeconds() - cpu0;
            Stats(after);
            double percent = 100.0 * cpu / wall;
            double renderPercent = 100.0 * static_cast<double>(after.renderCpuUs - before.renderCpuUs) / 1e6 / wall;
            // Most of the process's time is Wine's audio path, which the
            // silent song below shows; the goal is the voices' cost against
            // fluidsynth's.
            std::printf("  CPU %.2f %% of one core over %.1f s, the whole process\n", percent, wall);
            std::printf("  underruns while alone: %lu\n", after.underruns - before.underruns);

            // Whose it is: the same length of silence through the same output,
            // and the song rendered offline by the synthesizer alone.
            Stats(before);
            midiw::Bytes silent = SilentSong(wall);
            double silentPercent = -1, silentRenderPercent = 0;
            if (midiw::Save(silentPath, silent)) {
                cpu0 = ProcessCpuSeconds();
                wall0 = Now();
                Play(silentPath);
                double silentWall = Now() - wall0;
                silentPercent = 100.0 * (ProcessCpuSeconds() - cpu0) / silentWall;
                Stats(after);
                silentRenderPercent =
                    100.0 * static_cast<double>(after.renderCpuUs - before.renderCpuUs) / 1e6 / silentWall;
            }
            double synthPercent = OfflineRenderPercent(gmsongs::BandSong(), font, static_cast<int>(before.sampleRate));
            std::printf("    render thread %.2f %%", renderPercent);
            if (synthPercent >= 0)
                std::printf(", of which the synthesizer's own render %.2f %% (the song rendered offline)", synthPercent);
            std::printf("\n    the rest of the process %.2f %%: the playback thread and the audio system's threads\n",
                        percent - renderPercent);
            double silentSynthPercent = OfflineRenderPercent(silent, font, static_cast<int>(before.sampleRate));
            // Against fluidsynth in real time through the same server, each
            // program's song less its own silent song of the same length:
            // what the song's voices cost it.  scripts/bench.sh measures
            // fluidsynth's whole process and passes "song silent voices".
            if (silentPercent >= 0) {
                double voices = renderPercent - silentRenderPercent;
                double fluidSong = 0, fluidSilent = 0, fluidVoices = 0;
                const char *fluid = std::getenv("TIVORN_BENCH_FLUIDSYNTH_CPU");
                if (fluid && std::sscanf(fluid, "%lf %lf %lf", &fluidSong, &fluidSilent, &fluidVoices) == 3) {
                    bool fluidMet = voices <= fluidVoices;
                    std::printf("  the song's voices in real time: the render thread %.2f %% less %.2f %% silent = %.2f %%;\n"
                                "    fluidsynth -a pulseaudio, its whole process: %.2f %% less %.2f %% silent = %.2f %%;\n"
                                "    goal at most fluidsynth's: %s\n",
                                renderPercent, silentRenderPercent, voices, fluidSong, fluidSilent, fluidVoices,
                                Verdict(fluidMet));
                    met = met && fluidMet;
                    bench::Figure("synth: real-time CPU, song less silence", voices, "% of a core", fluidVoices,
                           "fluidsynth, the same");
                } else {
                    std::printf("  the song's voices in real time: the render thread %.2f %% less %.2f %% silent = %.2f %%\n"
                                "    (no fluidsynth figure to hold it against)\n",
                                renderPercent, silentRenderPercent, voices);
                }
            }
            if (silentPercent >= 0)
                std::printf("    a silent song through the same output: %.2f %% (render thread %.2f %%, the synthesizer's\n"
                            "    own render of it %.2f %%), %.2f %% outside the render thread%s\n",
                            silentPercent, silentRenderPercent, silentSynthPercent, silentPercent - silentRenderPercent,
                            ": Wine's audio path");
        }

        if (Runs("busy")) {
            // Underruns with a processor kept busy by another process, in
            // three whole plays of the song.
            Stats(before);
            // A compile where bench.sh runs one, else a process that spins.
            const bool compile = BusyCompile::Wanted();
            for (int run = 0; run < kBusyRuns; ++run) {
                if (compile) {
                    BusyCompile busy;
                    if (!busy.running()) std::printf("  (the compile did not start)\n");
                    Play(song);
                } else {
                    Spinner spinner;
                    if (!spinner.running()) std::printf("  (the busy process did not start)\n");
                    Play(song);
                }
            }
            Stats(after);
            DWORD underruns = after.underruns - before.underruns;
            const char *busyWith = compile ? "a compile" : "a spinning process";
            std::printf("  underruns with a processor busy with %s, %d plays of the song: %lu; goal 0: %s\n", busyWith,
                        kBusyRuns, underruns, Verdict(underruns == 0));
            bench::Figure(compile ? "synth: underruns, a core busy with a compile, 3 plays"
                                  : "synth: underruns, a core busy spinning, 3 plays",
                          underruns, "", 0, "none allowed");
            std::printf("    longest time between two wakes of the render thread: %.1f ms (%.1f ms queued)\n",
                        after.longestWakeUs / 1000.0, (after.scheduleDelayUs - kScheduleMarginUs) / 1000.0);
            if (underruns && after.longestWakeUs > after.scheduleDelayUs - kScheduleMarginUs)
                std::printf("    the render thread went unrun for longer than the queue holds: the system's scheduler's\n"
                            "    doing (Wine 8 leaves every thread at the host's normal priority, MMCSS and\n"
                            "    time-critical alike, so a busy machine can hold it back)\n");
            met = met && underruns == 0;
        }

        if (Runs("latency")) {
            // Latency: several starts of the song, each stopped soon after.
            std::vector<double> latencies;
            for (int i = 0; i < kLatencyStarts; ++i) {
                Play(song, 0.3);
                if (Stats(after) && after.latencyUs >= 0) latencies.push_back(after.latencyUs / 1000.0);
            }
            if (latencies.empty()) {
                std::printf("  latency: not measured (no song sounded)\n");
                met = false;
            } else {
                std::sort(latencies.begin(), latencies.end());
                double median = latencies[latencies.size() / 2];
                bool latencyMet = median <= kLatencyGoalMs;
                std::printf("  StartSong to the first sample at the device: median %.1f ms of %zu starts "
                            "(%.1f to %.1f); goal <= %.0f ms: %s\n",
                            median, latencies.size(), latencies.front(), latencies.back(), kLatencyGoalMs,
                            Verdict(latencyMet));
                std::printf("    of which the fixed scheduling delay %.1f ms (the device's queue %.1f ms, "
                            "set by its period, and %.1f ms for late wakes);\n"
                            "    the device says it adds %.1f ms more before the sample is heard\n",
                            after.scheduleDelayUs / 1000.0, (after.scheduleDelayUs - kScheduleMarginUs) / 1000.0,
                            kScheduleMarginUs / 1000.0, after.engineLatencyUs / 1000.0);
                met = met && latencyMet;
                bench::Figure("synth: StartSong to the first sample", median, "ms", after.scheduleDelayUs / 1000.0,
                              "its queue's fixed delay");
            }
        }
        std::printf("real-time goals: %s\n", met ? "met" : "NOT met");
        status = 0;
    }
    EngineClose();
    SetSettingsKey(nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
    DeleteFileA(song.c_str());
    DeleteFileA(silentPath.c_str());
    return status;
}
