// tivornctl render: a song through the built-in synthesizer into a WAV file,
// as fast as the machine allows.
//
//   tivornctl render [--dry] SONG.mid SOUNDFONT.sf2 OUT.wav
//
// The WAV is 44.1 kHz 16-bit stereo and ends when the last voice has died
// away.  A song with a loop plays it twice and fades out, as the player does
// by default.  --dry leaves reverb and chorus out.  A WAV that cannot be written
// whole is not left behind, and does not replace one that was there.
#include "render_command.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "korvel/song/smf_reader.h"
#include "korvel/song/song.h"
#include "korvel/synth_output/song_render.h"
#include "korvel/synth/file_source.h"
#include "korvel/synth/soundfont.h"
#include "korvel/synth/synthesizer.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;
// The largest data chunk a RIFF size field can count.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: tivornctl render [--dry] SONG.mid SOUNDFONT.sf2 OUT.wav\n"
                 "  writes the song as 44.1 kHz 16-bit stereo WAV; --dry: no reverb or chorus\n");
}

// Why a file could not be opened, read or written, in words.
std::string SystemErrorText(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "no such file";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_SHARING_VIOLATION: return "the file is in use";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "the disk is full";
    }
    return "system error " + std::to_string(error);
}

const char *SmfErrorText(korvel::SmfError error) {
    switch (error) {
    case korvel::SmfError::None: return "no error";
    case korvel::SmfError::Empty: return "the file is empty";
    case korvel::SmfError::TooLarge: return "the file is too large for a MIDI file";
    case korvel::SmfError::NotMidi: return "not a Standard MIDI File";
    case korvel::SmfError::BadDivision: return "the file's time division is invalid";
    case korvel::SmfError::BadNumber: return "the file holds an invalid number";
    case korvel::SmfError::NothingToPlay: return "the file holds nothing to play";
    }
    return "unknown error";
}

const char *SoundFontErrorText(synth::ReadError error) {
    switch (error) {
    case synth::ReadError::None: return "no error";
    case synth::ReadError::Unreadable: return "the file could not be read";
    case synth::ReadError::NotSoundFont: return "not a SoundFont 2 file";
    case synth::ReadError::Compressed: return "compressed SoundFonts (.sf3) are not supported";
    case synth::ReadError::TooLarge: return "the SoundFont holds more sample data than fits in memory";
    case synth::ReadError::Damaged: return "the SoundFont is damaged";
    }
    return "unknown error";
}

bool ReadSong(const char *path, korvel::Song &song) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "tivornctl: %s: cannot open: %s\n", path, SystemErrorText(GetLastError()).c_str());
        return false;
    }
    LARGE_INTEGER size = {};
    std::vector<uint8_t> bytes;
    bool read = GetFileSizeEx(file, &size);
    if (read && size.QuadPart <= static_cast<LONGLONG>(korvel::kMaxSongFileBytes)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        read = bytes.empty() ||
               (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size());
    }
    DWORD readError = GetLastError();
    CloseHandle(file);
    if (!read) {
        std::fprintf(stderr, "tivornctl: %s: cannot read: %s\n", path, SystemErrorText(readError).c_str());
        return false;
    }
    korvel::SmfError error = size.QuadPart > static_cast<LONGLONG>(korvel::kMaxSongFileBytes)
                                 ? korvel::SmfError::TooLarge
                                 : korvel::ReadSmf(bytes.data(), bytes.size(), song);
    if (error != korvel::SmfError::None) {
        std::fprintf(stderr, "tivornctl: %s: %s\n", path, SmfErrorText(error));
        return false;
    }
    return true;
}

std::shared_ptr<const synth::SoundFont> ReadFont(const char *path) {
    synth::FileSource source;
    switch (source.Open(path)) {
    case synth::FileOpen::Opened: break;
    case synth::FileOpen::NotFound: std::fprintf(stderr, "tivornctl: %s: no such file\n", path); return nullptr;
    case synth::FileOpen::Denied: std::fprintf(stderr, "tivornctl: %s: access denied\n", path); return nullptr;
    case synth::FileOpen::Failed: std::fprintf(stderr, "tivornctl: %s: cannot open\n", path); return nullptr;
    }
    synth::ReadResult result = synth::ReadSoundFont(source);
    if (!result.font) {
        std::fprintf(stderr, "tivornctl: %s: %s%s%s\n", path, SoundFontErrorText(result.error),
                     result.detail.empty() ? "" : ": ", result.detail.c_str());
        return nullptr;
    }
    return result.font;
}

void PutLE(uint8_t *at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The 44-byte header of a PCM WAV with dataBytes of samples.
void WavHeader(uint8_t (&header)[44], uint32_t dataBytes) {
    std::memcpy(header, "RIFF\0\0\0\0WAVEfmt ", 16);
    PutLE(header + 4, 36 + dataBytes, 4);
    PutLE(header + 16, 16, 4);
    PutLE(header + 20, 1, 2);  // PCM
    PutLE(header + 22, kChannels, 2);
    PutLE(header + 24, kRate, 4);
    PutLE(header + 28, kRate * kBytesPerFrame, 4);
    PutLE(header + 32, kBytesPerFrame, 2);
    PutLE(header + 34, 16, 2);
    std::memcpy(header + 36, "data", 4);
    PutLE(header + 40, dataBytes, 4);
}

// Writes the WAV as it is rendered into OUT.wav.part beside it, then its
// header with the sizes, and only then puts it in OUT.wav's place: a render
// that fails leaves a WAV that was there before as it was.
class WavWriter {
public:
    explicit WavWriter(const char *path) : path_(path), partPath_(std::string(path) + ".part") {
        file_ = CreateFileA(partPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            error_ = GetLastError();
            return;
        }
        created_ = true;
        uint8_t header[44];
        WavHeader(header, 0);
        Write(header, sizeof header);
    }
    ~WavWriter() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        if (created_ && !finished_) DeleteFileA(partPath_.c_str());
    }
    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    bool created() const { return created_; }
    DWORD error() const { return error_; }
    uint64_t frames() const { return dataBytes_ / kBytesPerFrame; }

    bool Take(const float *stereo, size_t frames) {
        if (error_ != 0) return false;
        if (dataBytes_ + frames * kBytesPerFrame > kMaxDataBytes) {
            tooLong_ = true;
            return false;
        }
        pcm_.resize(frames * kChannels);
        for (size_t i = 0; i < pcm_.size(); ++i) {
            float s = stereo[i] * 32767.0f;
            s = s > 32767.0f ? 32767.0f : (s < -32768.0f ? -32768.0f : s);
            pcm_[i] = static_cast<int16_t>(std::lrint(s));
        }
        Write(pcm_.data(), pcm_.size() * sizeof(int16_t));
        dataBytes_ += frames * kBytesPerFrame;
        return error_ == 0;
    }

    // The sizes into the header, and the file closed; false when anything failed.
    bool Finish() {
        if (error_ != 0 || tooLong_) return false;
        uint8_t header[44];
        WavHeader(header, static_cast<uint32_t>(dataBytes_));
        LARGE_INTEGER start = {};
        if (!SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) error_ = GetLastError();
        Write(header, sizeof header);
        if (!CloseHandle(file_) && error_ == 0) error_ = GetLastError();
        file_ = INVALID_HANDLE_VALUE;
        if (error_ == 0 && !MoveFileExA(partPath_.c_str(), path_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error_ = GetLastError();
        finished_ = error_ == 0;
        return finished_;
    }
    bool tooLong() const { return tooLong_; }

private:
    void Write(const void *bytes, size_t size) {
        DWORD written = 0;
        if (error_ == 0 && (!WriteFile(file_, bytes, static_cast<DWORD>(size), &written, nullptr) || written != size))
            error_ = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }

    const char *path_;
    std::string partPath_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool created_ = false;
    DWORD error_ = 0;
    uint64_t dataBytes_ = 0;
    bool tooLong_ = false;
    bool finished_ = false;
    std::vector<int16_t> pcm_;
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int RenderCommand(int argc, char **argv) {
    synth::Effects effects = synth::Effects::On;
    std::vector<const char *> paths;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dry") == 0) {
            effects = synth::Effects::Off;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "tivornctl render: unknown option %s\n", argv[i]);
            PrintUsage();
            return 2;
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.size() != 3) {
        PrintUsage();
        return 2;
    }
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    korvel::Song song;
    if (!ReadSong(paths[0], song)) return 1;
    std::shared_ptr<const synth::SoundFont> font = ReadFont(paths[1]);
    if (!font) return 1;

    WavWriter wav(paths[2]);
    if (!wav.created()) {
        std::fprintf(stderr, "tivornctl: %s: cannot create: %s\n", paths[2], SystemErrorText(wav.error()).c_str());
        return 1;
    }
    synth::Synthesizer synthesizer(font, kRate, effects);
    korvel::RenderOutcome outcome = korvel::RenderSong(
        song, synthesizer, [&wav](const float *stereo, size_t frames) { return wav.Take(stereo, frames); });
    bool rendered = outcome == korvel::RenderOutcome::Ended;
    if (!rendered || !wav.Finish()) {
        if (wav.tooLong())
            std::fprintf(stderr, "tivornctl: %s: the song is too long for a WAV file\n", paths[2]);
        else
            std::fprintf(stderr, "tivornctl: %s: cannot write: %s\n", paths[2], SystemErrorText(wav.error()).c_str());
        return 1;
    }
    LARGE_INTEGER ended;
    QueryPerformanceCounter(&ended);
    double seconds = Seconds(started, ended);
    double sound = static_cast<double>(wav.frames()) / kRate;
    std::printf("%s: %.2f s of sound in %.2f s (%.0f times real time)\n", paths[2], sound, seconds,
                seconds > 0 ? sound / seconds : 0.0);
    return 0;
}
