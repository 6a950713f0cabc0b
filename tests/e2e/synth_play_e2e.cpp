// The player of synth_sound_e2e.sh: writes a short song in the manner of the
// demo songs, and plays it through KORVEL.dll's synth: output to the end,
// as the program does.
//
//   synth_play_e2e SONG.mid SOUNDFONT.sf2 [DEVICE]      (Windows paths)
//
// With DEVICE, the device of that name becomes the default one two seconds
// into the song, as when headphones are plugged in.
//
// Prints "played" last when the song ended by itself; the script checks for
// it, since a program that Wine ends may still exit with status 0.
#include <windows.h>
#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>
#include <mmdeviceapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/korvel.h"
#include "testing/midi_writer.h"
#include "testing/win_test_support.h"
#include "utils/com.h"

namespace {

// Wine's default render device is the one whose id its driver's
// "DefaultOutput" holds; Wine tells a change of it to programs as Windows
// does (IMMNotificationClient::OnDefaultDeviceChanged).
const wchar_t kWineAudioKey[] = L"Software\\Wine\\Drivers\\winepulse.drv";

// The id of the active render device of that name, or empty.
std::wstring RenderDeviceId(const char *name) {
    wchar_t wanted[128] = L"";
    MultiByteToWideChar(CP_ACP, 0, name, -1, wanted, 128);
    std::wstring found;
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDeviceCollection> devices;
    UINT count = 0;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                enumerator.PutVoid())))
        return found;
    if (SUCCEEDED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, devices.Put())))
        devices->GetCount(&count);
    for (UINT i = 0; i < count && found.empty(); ++i) {
        ComPtr<IMMDevice> device;
        ComPtr<IPropertyStore> properties;
        PROPVARIANT value;
        PropVariantInit(&value);
        LPWSTR id = nullptr;
        if (SUCCEEDED(devices->Item(i, device.Put())) &&
            SUCCEEDED(device->OpenPropertyStore(STGM_READ, properties.Put())) &&
            SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &value)) && value.vt == VT_LPWSTR &&
            wcscmp(value.pwszVal, wanted) == 0 && SUCCEEDED(device->GetId(&id)))
            found = id;
        CoTaskMemFree(id);
        PropVariantClear(&value);
    }
    return found;
}

volatile int g_endValue = -1;
void OnEnd(int value) { g_endValue = value; }

// Four bars at 120 BPM: piano melody, bass, strings and drums, then a beat's
// rest so that the last notes have rung out before the song's end.
midiw::Bytes Song() {
    const uint32_t beat = 480;
    midiw::Track conductor;
    conductor.Tempo(0, 500000).End();
    midiw::Track piano, bass, strings, drums;
    piano.Program(0, 0, 0);
    bass.Program(0, 1, 33);
    strings.Program(0, 2, 48);
    const int melody[] = {72, 74, 76, 79, 77, 76, 74, 72, 71, 72, 74, 76, 72, 67, 72, 72};
    for (int n = 0; n < 16; ++n) piano.NoteOn(n ? beat / 10 : 0, 0, melody[n], 96).NoteOff(beat * 9 / 10, 0, melody[n]);
    const int roots[] = {36, 41, 43, 36};
    for (int bar = 0; bar < 4; ++bar) {
        for (int half = 0; half < 2; ++half) bass.NoteOn(0, 1, roots[bar], 100).NoteOff(2 * beat, 1, roots[bar]);
        strings.NoteOn(0, 2, roots[bar] + 24, 70).NoteOn(0, 2, roots[bar] + 28, 70);
        strings.NoteOff(4 * beat, 2, roots[bar] + 24).NoteOff(0, 2, roots[bar] + 28);
        for (int eighth = 0; eighth < 8; ++eighth) {
            int key = eighth % 4 == 0 ? 36 : eighth % 4 == 2 ? 38 : 42;
            drums.NoteOn(0, 9, key, 100).NoteOff(beat / 2, 9, key);
        }
    }
    piano.End(beat);
    bass.End(beat);
    strings.End(beat);
    drums.End(beat);
    return midiw::File(1, static_cast<uint16_t>(beat), {conductor, piano, bass, strings, drums});
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: synth_play_e2e SONG.mid SOUNDFONT.sf2 [DEVICE]\n");
        return 2;
    }
    if (!midiw::Save(argv[1], Song())) {
        std::printf("cannot write %s\n", argv[1]);
        return 1;
    }
    // A key of this process's own for Engine\Output, beside other tests.
    char key[64];
    std::snprintf(key, sizeof key, "Software\\Zarnith\\TivornTest-synth-%lu", GetCurrentProcessId());
    std::string output = std::string("synth:") + argv[2];
    RegSetKeyValueA(HKEY_CURRENT_USER, (std::string(key) + "\\Engine").c_str(), "Output", REG_SZ, output.c_str(),
                    static_cast<DWORD>(output.size() + 1));
    SetSettingsKey(key);

    const char *newDefault = argc == 4 ? argv[3] : nullptr;
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineAudioKey, L"DefaultOutput");
    ComApartment com(COINIT_MULTITHREADED);  // for the device list

    bool started = EngineInit() && OpenSong(argv[1], 1) && StartSong(OnEnd);
    DWORD deadline = GetTickCount() + 30000;
    KorvelSynthStats stats = {};
    stats.size = sizeof stats;
    while (started && g_endValue < 0 && static_cast<LONG>(deadline - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        tt::PumpMessages();
        if (newDefault && SynthOutputStats(&stats) && stats.renderedFrames >= 2ull * stats.sampleRate) {
            std::wstring id = RenderDeviceId(newDefault);
            if (id.empty()) {
                std::printf("no device named %s\n", newDefault);
                break;
            }
            RegSetKeyValueW(HKEY_CURRENT_USER, kWineAudioKey, L"DefaultOutput", REG_SZ,
                            id.c_str(), static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
            std::printf("the default device is now %s\n", newDefault);
            newDefault = nullptr;
        }
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineAudioKey, L"DefaultOutput");
    if (SynthOutputStats(&stats))
        std::printf("output: api %u, %lu Hz, %u channels, underruns %lu, latency %ld us\n", stats.api,
                    stats.sampleRate, stats.channels, stats.underruns, stats.latencyUs);
    EngineClose();
    SetSettingsKey(nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
    if (!started) {
        std::printf("the song did not start through %s\n", output.c_str());
        return 1;
    }
    if (g_endValue != 1) {
        std::printf(g_endValue < 0 ? "the song did not end in time\n" : "the output was lost while playing\n");
        return 1;
    }
    std::printf("played\n");
    return 0;
}
