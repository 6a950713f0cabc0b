// What the results of the MIDI output calls mean for playback.  Plain C++:
// the numbers are mmsystem.h's, which device_output.cpp checks against the
// header.
#ifndef TIVORN_KORVEL_MIDI_ERRORS_H
#define TIVORN_KORVEL_MIDI_ERRORS_H

namespace korvel {

namespace mmresult {
constexpr unsigned kNoError = 0;        // MMSYSERR_NOERROR
constexpr unsigned kBadDeviceId = 2;    // MMSYSERR_BADDEVICEID
constexpr unsigned kAllocated = 4;      // MMSYSERR_ALLOCATED
constexpr unsigned kInvalidHandle = 5;  // MMSYSERR_INVALHANDLE
constexpr unsigned kNoDriver = 6;       // MMSYSERR_NODRIVER
constexpr unsigned kNoDevice = 68;      // MIDIERR_NODEVICE
}  // namespace mmresult

// Why an output could not be opened (or was lost); each has its own message
// for the user.
enum class OutputError {
    None, NoDevice, DeviceBusy, DeviceFailed, BadSetting, LogUnwritable,
    NoAudioDevice, AudioDeviceBusy, AudioDeviceFailed,  // the synthesizer's way to the speakers
};

// Why the SoundFont of a synth: output could not be used (the MIDI mapper
// plays instead); each has its own message for the user.
enum class FontProblem { None, Missing, Unreadable, NotSoundFont, Compressed, TooLarge, Damaged };

// What playback does after a midiOut call on an open device.
enum class SendAction {
    Continue,     // sent, or only this message was refused (a busy or short-of-memory driver)
    GiveUpOutput  // the handle is dead: the device was unplugged or its driver went away
};
SendAction ActionAfterSend(unsigned result);

// Which device an open asked for.
enum class OpenTarget { Device, Mapper };

// What follows a failed midiOutOpen: a numbered device that is gone (its
// number now belongs to nothing, or its driver is unloaded) gives way to the
// MIDI mapper; anything else is reported as error.
struct OpenFailure {
    bool tryMapper;
    OutputError error;
};
OpenFailure JudgeOpenFailure(unsigned result, OpenTarget target, unsigned deviceCount);

// How a lost output is reported when the next song cannot be started.
OutputError LostOutputError(unsigned result);

}  // namespace korvel

#endif
