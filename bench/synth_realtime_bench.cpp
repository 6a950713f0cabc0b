// The built-in synthesizer heard in real time, through KORVEL.dll as the
// program plays: a dense song (bench/gm_songs.h) through the synth: output
// into the system's audio.  Under Wine that is the PulseAudio server with a
// null sink that scripts/bench.sh starts; without one the figures are
// skipped.
//
// Goals:
//   CPU at most 3 % of one core for the dense song (the whole process:
//     playback thread, render thread and the audio system's own threads);
//   no underrun, counted by the output itself, while another process keeps
//     a processor busy;
//   at most 30 ms from StartSong to the first sample at the device.
//
//   synth_realtime_bench [--spin]     (--spin: the busy process itself)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/gm_songs.h"
#include "engine/korvel.h"

namespace {

constexpr double kCpuGoalPercent = 3.0;
constexpr double kLatencyGoalMs = 30.0;
constexpr int kLatencyStarts = 7;

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

bool Stats(KorvelSynthStats &stats) {
    std::memset(&stats, 0, sizeof stats);
    stats.size = sizeof stats;
    return SynthOutputStats(&stats) != 0;
}

// Plays the song to its end, or for at most seconds; false when it would not start.
bool Play(const std::string &song, double seconds = 1e9) {
    if (!OpenSong(song.c_str(), 1)) return false;
    g_ended = false;
    if (!StartSong(OnEnd)) return false;
    double until = Now() + seconds;
    while (!g_ended && Now() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    if (!g_ended) StopSong();
    return true;
}

// Another process that keeps one processor busy while it lives.
class Spinner {
public:
    Spinner() {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string command = std::string("\"") + self + "\" --spin";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
            CloseHandle(process_.hThread);
        else
            process_.hProcess = nullptr;
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

const char *Verdict(bool met) { return met ? "met" : "MISSED"; }

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
        for (volatile unsigned long n = 0;; n = n + 1) {
        }
    }
    std::printf("Built-in synthesizer in real time (synth: output, dense band song)\n");
    if (!std::getenv("PULSE_SERVER")) {
        std::printf("  skipped: no PulseAudio server to play into (scripts/bench.sh starts one)\n");
        return 0;
    }
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string song = std::string(temp) + "synth-realtime-bench.mid";
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
    if (!EngineInit()) {
        std::printf("  the engine did not start\n");
    } else if (!Play(song, 1.0) || !Stats(before) || !before.open) {
        // The first, short play opens the output and loads the SoundFont, so
        // that neither is counted below.
        std::printf("  the synth: output did not open (SynthOutputStats: %s)\n",
                    Stats(before) ? "no output open" : "no figures");
    } else {
        std::printf("  device: %s, %lu Hz, %u channels, %u-bit %s\n", ApiName(before.api), before.sampleRate,
                    before.channels, before.bitsPerSample, before.isFloat ? "float" : "integer");
        bool met = true;

        // CPU: the whole process over the song's time.
        double cpu0 = ProcessCpuSeconds(), wall0 = Now();
        Play(song);
        double wall = Now() - wall0, cpu = ProcessCpuSeconds() - cpu0;
        Stats(after);
        double percent = 100.0 * cpu / wall;
        double renderPercent = 100.0 * static_cast<double>(after.renderCpuUs - before.renderCpuUs) / 1e6 / wall;
        bool cpuMet = percent <= kCpuGoalPercent;
        std::printf("  CPU %.2f %% of one core over %.1f s (render thread %.2f %%); goal <= %.0f %%: %s\n", percent, wall,
                    renderPercent, kCpuGoalPercent, Verdict(cpuMet));
        std::printf("  underruns while alone: %lu\n", after.underruns - before.underruns);
        met = met && cpuMet;

        // Underruns with a processor kept busy by another process.
        Stats(before);
        {
            Spinner spinner;
            if (!spinner.running()) std::printf("  (the busy process did not start)\n");
            Play(song);
        }
        Stats(after);
        DWORD underruns = after.underruns - before.underruns;
        std::printf("  underruns with a processor busy: %lu; goal 0: %s\n", underruns, Verdict(underruns == 0));
        met = met && underruns == 0;

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
            met = met && latencyMet;
        }
        std::printf("real-time goals: %s\n", met ? "met" : "NOT met");
        status = 0;
    }
    EngineClose();
    SetSettingsKey(nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
    DeleteFileA(song.c_str());
    return status;
}
