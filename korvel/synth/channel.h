// One MIDI channel's state as the synthesizer keeps it: program, bank,
// controllers, pitch bend and its range, tuning, pressure.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_CHANNEL_H
#define TIVORN_KORVEL_SYNTH_CHANNEL_H

#include <cstdint>

#include "korvel/synth/soundfont.h"

namespace synth {

// Which reset the song sent last: it decides how bank select is read.
enum class SystemMode { Gm, Gs, Xg };

// Controllers the synthesizer acts on by number.
enum Controller : uint8_t {
    kBankSelect = 0, kModulationWheel = 1, kDataEntry = 6, kVolume = 7, kPanController = 10,
    kExpression = 11, kBankSelectLsb = 32, kDataEntryLsb = 38, kSustainPedal = 64, kSostenuto = 66,
    kReverbSend = 91, kChorusSend = 93, kDataIncrement = 96, kDataDecrement = 97,
    kNrpnLsb = 98, kNrpnMsb = 99, kRpnLsb = 100, kRpnMsb = 101,
    kAllSoundOff = 120, kResetControllers = 121, kAllNotesOff = 123,
};

// Which parameter number data entry goes to.
enum class Parameter { None, Rpn, Nrpn };

// The tone edits a part takes by NRPN, the same for GS and XG.  Each holds
// the value sent less 64: 0 leaves the SoundFont's voicing as it is.
enum ToneEdit : uint8_t {
    kVibratoRate, kVibratoDepth, kVibratoDelay, kCutoff, kResonance, kAttack, kDecay, kRelease,
    kToneEditCount,
};

// A drum part's edits of one of its keys by NRPN.  The pitch (semitones and,
// for XG, cents) and XG's filter and envelope edits are relative, less 64 as
// the part's; the others absolute as the modules take them: level and sends
// scale the instrument's own (127 leaves it), pan replaces its place.
constexpr uint8_t kPanAsFont = 0xFF;
constexpr uint8_t kPanRandom = 0;
struct DrumEdit {
    int8_t pitch = 0, fine = 0;
    int8_t cutoff = 0, resonance = 0, attack = 0, decay = 0;
    uint8_t level = 127;
    uint8_t pan = kPanAsFont;  // or kPanRandom, or 1..127 (left to right)
    uint8_t reverb = 127, chorus = 127;
};

struct ChannelState {
    uint8_t controllers[128];
    uint8_t keyPressure[128];
    int channelPressure;
    int pitchWheel;      // 0..16383, 8192 in the middle
    int program;
    bool drums;          // plays bank 128 (GS drum part)
    int bendSemitones, bendCents;  // RPN 0
    int fineTuning;      // RPN 1, 14 bits, 8192 = none
    int coarseTuning;    // RPN 2, 64 = none
    Parameter selected;  // data entry goes to the RPN in 101/100 or the NRPN in 99/98
    int keyShift;        // GS part key shift, semitones
    bool randomPan;      // GS part pan "random": each note its own place, instead of controller 10
    int8_t toneEdits[kToneEditCount];
    DrumEdit drumEdits[128];
    uint8_t soundingKey[128];  // the key each struck key plays, after key shift
    const Preset *preset;   // what a note-on plays; null until looked up
    bool presetChosen;

    // The power-on and reset state; channel 10 is the drum part.
    void Reset(int channel);
    // Reset All Controllers: what the MIDI recommended practice names.
    void ResetControllers();
    // Applies a controller's side effects on RPNs and the bank; the caller
    // has stored the value already.  Returns true when the selected
    // preset must be looked up again.
    bool Apply(uint8_t controller, uint8_t value);

    bool Sustained() const { return controllers[kSustainPedal] >= 64; }
    double BendRangeSemitones() const { return bendSemitones + bendCents / 100.0; }
    double TuningCents() const { return (coarseTuning - 64) * 100.0 + (fineTuning - 8192) * 100.0 / 8192.0; }

    // The bank that program changes choose from, for the reset mode.
    int Bank(SystemMode mode) const;
    // The program it looks up in that bank.
    int Program(SystemMode mode) const;
    bool DrumPart(SystemMode mode) const { return Bank(mode) >= 128; }
    // Puts the edits of the drum keys back, as a new drum set does.
    void ResetDrumEdits();

private:
    void DataEntry(int delta, bool lsb, uint8_t value);
    void NrpnEntry(int delta, bool lsb, uint8_t value);
};

}  // namespace synth

#endif
