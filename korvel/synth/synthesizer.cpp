#include "korvel/synth/synthesizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "korvel/synth/channel.h"
#include "korvel/synth/effects.h"
#include "korvel/synth/units.h"
#include "korvel/synth/voice.h"
#include "korvel/synth/zones.h"

namespace synth {
namespace {

constexpr int kChannels = 16;
// The ring that holds the fades of cut voices (stolen, exclusive class,
// All Sound Off) ahead of the output: a power of two above the longest fade.
constexpr int kTailFrames = 512;
constexpr int kTailMask = kTailFrames - 1;
// Below this the output passes unchanged; above it, it bends smoothly
// toward 1 so that loud passages never clip hard.
constexpr float kSoftKnee = 0.8f;
// The mix's overall level: a single forte note of a typical General MIDI
// SoundFont peaks near -12 dBFS, so that a dense song seldom reaches the knee.
constexpr double kOutputGain = 0.6;
constexpr uint8_t kXgDrumBank = 127;
// The GS master tune's four nibbles at none (0x0400).
constexpr uint8_t kNoMasterTune[4] = {0, 4, 0, 0};

float SoftClip(float x) {
    float a = std::fabs(x);
    if (a <= kSoftKnee) return x;
    float y = kSoftKnee + (1.0f - kSoftKnee) * std::tanh((a - kSoftKnee) / (1.0f - kSoftKnee));
    return x < 0 ? -y : y;
}

}  // namespace

struct Synthesizer::Impl {
    Impl(std::shared_ptr<const SoundFont> f, int sampleRate, Effects fx)
        : font(std::move(f)), rate(sampleRate > 0 ? sampleRate : 44100), effects(fx), reverbUnit(rate),
          chorusUnit(rate) {
        // A cut voice fades over about 3 ms.
        fadeFrames = std::clamp(rate / 333, 16, kTailFrames / 2);
        ResetAll(SystemMode::Gm);
    }

    void ResetAll(SystemMode newMode);
    void ChoosePreset(ChannelState &c);
    void Channel(const uint8_t *m, size_t size);
    void ControlChange(int ch, uint8_t controller, uint8_t value);
    void SystemExclusive(const uint8_t *m, size_t size);
    void GsDataSet(const uint8_t *body, size_t size);
    void GsWrite(uint32_t address, uint8_t value);
    void SetMasterVolume(double fraction);
    void RetuneAll();
    int Shifted(int ch, int struck) const;
    void NoteOn(int ch, int key, int velocity);
    void NoteOff(int ch, int key);
    void StartVoices(int ch, int key, int velocity, int count);
    int Allocate(uint32_t noteId);
    void Cut(int slot);
    void Free(int position);
    void MaybeRelease(Voice &v);
    ChannelInputs Inputs(int ch, int key) const;
    void ModulateChannel(int ch, int key = -1);
    void RenderBlock(float *out, int frames);

    std::shared_ptr<const SoundFont> font;
    int rate;
    Effects effects;
    Reverb reverbUnit;
    Chorus chorusUnit;
    SystemMode mode = SystemMode::Gm;
    double masterGain = 1.0;
    double fadeGain = 1.0;  // Synthesizer::SetFadeGain
    // Master tune, GS or universal, and the GS master key shift.
    double masterFineCents = 0;
    int masterCoarseSemitones = 0;
    int masterKeyShift = 0;
    uint8_t masterTune[4];  // as the GS data set wrote its nibbles
    ChannelState channels[kChannels];

    Voice voices[kMaxVoices];
    int active[kMaxVoices];  // slots of the sounding voices
    int activeCount = 0;
    int freeSlots[kMaxVoices];
    int freeCount = 0;
    uint32_t nextNoteId = 0;
    VoiceSetup setups[kMaxVoicesPerNote];

    float left[kBlockFrames], right[kBlockFrames], reverb[kBlockFrames], chorus[kBlockFrames];
    float tail[kTailFrames][2] = {};
    int tailPos = 0;
    int tailLeft = 0;  // frames of the ring still holding sound
    int fadeFrames;
};

void Synthesizer::Impl::ResetAll(SystemMode newMode) {
    for (int i = activeCount - 1; i >= 0; --i) Cut(active[i]);
    mode = newMode;
    masterGain = 1.0;
    masterFineCents = 0;
    masterCoarseSemitones = 0;
    masterKeyShift = 0;
    std::copy(std::begin(kNoMasterTune), std::end(kNoMasterTune), masterTune);
    reverbUnit.SetVoicing(kStandardVoicing);
    chorusUnit.SetVoicing(kStandardVoicing);
    for (int ch = 0; ch < kChannels; ++ch) {
        ChannelState &c = channels[ch];
        c.Reset(ch);
        // XG makes channel 10 a drum part by its bank, which a song may
        // change to play a melody there.
        if (mode == SystemMode::Xg && c.drums) c.drums = false, c.controllers[kBankSelect] = kXgDrumBank;
        ChoosePreset(c);
    }
}

void Synthesizer::Impl::ChoosePreset(ChannelState &c) {
    c.preset = nullptr;
    if (!font) return;
    int bank = c.Bank(mode), program = c.Program(mode);
    c.preset = font->FindPreset(bank, program);
    // A variation the font lacks falls back to its capital tone, and a
    // missing drum set to the standard one.
    if (!c.preset) c.preset = bank >= 128 ? font->FindPreset(128, 0) : font->FindPreset(0, program);
    c.presetChosen = true;
}

ChannelInputs Synthesizer::Impl::Inputs(int ch, int key) const {
    const ChannelState &c = channels[ch];
    ChannelInputs in;
    in.modulators.controllers = c.controllers;
    in.modulators.key = key;
    in.modulators.keyPressure = c.keyPressure[key & 127];
    in.modulators.channelPressure = c.channelPressure;
    in.modulators.pitchWheel = c.pitchWheel;
    in.modulators.pitchWheelSemitones = c.BendRangeSemitones();
    in.tuningCents = c.TuningCents() + masterFineCents + masterCoarseSemitones * 100.0;
    in.toneEdits = c.toneEdits;
    in.randomPan = c.randomPan;
    if (c.DrumPart(mode)) in.drum = &c.drumEdits[key & 127];
    return in;
}

void Synthesizer::Impl::ModulateChannel(int ch, int key) {
    for (int i = 0; i < activeCount; ++i) {
        Voice &v = voices[active[i]];
        if (v.channel == ch && (key < 0 || v.key == key)) v.Modulate(Inputs(ch, v.key));
    }
}

void Synthesizer::Impl::Channel(const uint8_t *m, size_t size) {
    int ch = m[0] & 0x0F;
    uint8_t d1 = size > 1 ? m[1] & 0x7F : 0, d2 = size > 2 ? m[2] & 0x7F : 0;
    ChannelState &c = channels[ch];
    switch (m[0] & 0xF0) {
    case 0x80: if (size >= 3) NoteOff(ch, d1); break;
    case 0x90:
        if (size < 3) break;
        if (d2 == 0) NoteOff(ch, d1);
        else NoteOn(ch, d1, d2);
        break;
    case 0xA0:
        if (size < 3) break;
        c.keyPressure[c.soundingKey[d1]] = d2;
        ModulateChannel(ch, c.soundingKey[d1]);
        break;
    case 0xB0: if (size >= 3) ControlChange(ch, d1, d2); break;
    case 0xC0:
        if (size < 2) break;
        c.program = d1;
        // A new drum set starts from its own voicing.
        if (c.DrumPart(mode)) c.ResetDrumEdits();
        ChoosePreset(c);
        break;
    case 0xD0:
        if (size < 2) break;
        c.channelPressure = d1;
        ModulateChannel(ch);
        break;
    case 0xE0:
        if (size < 3) break;
        c.pitchWheel = d1 | (d2 << 7);
        ModulateChannel(ch);
        break;
    default: break;
    }
}

void Synthesizer::Impl::ControlChange(int ch, uint8_t controller, uint8_t value) {
    ChannelState &c = channels[ch];
    bool sostenutoWas = c.controllers[kSostenuto] >= 64;
    c.controllers[controller] = value;
    c.Apply(controller, value);
    if (controller == kPanController) c.randomPan = false;
    switch (controller) {
    case kAllSoundOff:
        for (int i = activeCount - 1; i >= 0; --i)
            if (voices[active[i]].channel == ch) Cut(active[i]);
        return;
    case kResetControllers:
        c.ResetControllers();
        break;
    case kAllNotesOff:
    case 124: case 125: case 126: case 127:  // omni and mono/poly imply all notes off
        for (int i = 0; i < activeCount; ++i)
            if (voices[active[i]].channel == ch) voices[active[i]].keyDown = false;
        break;
    case kSostenuto: {
        bool now = value >= 64;
        for (int i = 0; i < activeCount && now != sostenutoWas; ++i) {
            Voice &v = voices[active[i]];
            // Pressing it holds the notes down now; letting go frees them.
            if (v.channel == ch) v.heldBySostenuto = now && v.keyDown;
        }
        break;
    }
    default: break;
    }
    // Pedals up, notes off and resets let go of what nothing holds now.
    for (int i = 0; i < activeCount; ++i)
        if (voices[active[i]].channel == ch) MaybeRelease(voices[active[i]]);
    ModulateChannel(ch);
}

void Synthesizer::Impl::MaybeRelease(Voice &v) {
    if (v.Releasing() || v.keyDown || v.heldBySostenuto || channels[v.channel].Sustained()) return;
    v.Release();
}

void Synthesizer::Impl::NoteOff(int ch, int struck) {
    int key = channels[ch].soundingKey[struck];
    for (int i = 0; i < activeCount; ++i) {
        Voice &v = voices[active[i]];
        if (v.channel != ch || v.key != key || !v.keyDown) continue;
        v.keyDown = false;
        MaybeRelease(v);
    }
}

// Key shift moves the key a note plays, as on the modules, so that a
// multisampled tone keeps its own sample for each pitch; drum parts stay.
int Synthesizer::Impl::Shifted(int ch, int struck) const {
    const ChannelState &c = channels[ch];
    if (c.DrumPart(mode)) return struck;
    int key = struck + c.keyShift + masterKeyShift;
    while (key < 0) key += 12;
    while (key > 127) key -= 12;
    return key;
}

void Synthesizer::Impl::NoteOn(int ch, int struck, int velocity) {
    const Preset *preset = channels[ch].preset;
    if (!preset) return;
    int key = Shifted(ch, struck);
    channels[ch].soundingKey[struck] = static_cast<uint8_t>(key);
    // A key struck again lets go of its earlier strike.
    for (int i = 0; i < activeCount; ++i) {
        Voice &v = voices[active[i]];
        if (v.channel == ch && v.key == key && !v.Releasing()) {
            v.keyDown = false;
            v.heldBySostenuto = false;
            v.Release();
        }
    }
    int count = CollectVoices(*font, *preset, key, velocity, setups, kMaxVoicesPerNote);
    StartVoices(ch, key, velocity, count);
}

void Synthesizer::Impl::StartVoices(int ch, int key, int velocity, int count) {
    uint32_t id = ++nextNoteId;
    ChannelInputs in = Inputs(ch, key);
    int firstStarted = activeCount;
    for (int n = 0; n < count; ++n) {
        // Nothing to play takes no slot, so it steals no sounding voice.
        if (!HasSound(setups[n], font->data.size())) continue;
        int slot = Allocate(id);
        if (slot < 0) break;
        Voice &v = voices[slot];
        if (!v.Start(*font, setups[n], ch, key, velocity, id, rate)) {
            freeSlots[freeCount++] = slot;
            continue;
        }
        v.Modulate(in);
        active[activeCount++] = slot;
    }
    // A new note of an exclusive class ends the class's other notes on the
    // channel at once (an open hi-hat cut by the closed one).
    int classes[kMaxVoicesPerNote];
    int classCount = 0;
    for (int n = firstStarted; n < activeCount; ++n) {
        int cls = voices[active[n]].exclusiveClass;
        if (cls != 0 && std::find(classes, classes + classCount, cls) == classes + classCount)
            classes[classCount++] = cls;
    }
    for (int c = 0; c < classCount; ++c)
        // Downward: Cut moves the last voice into the place it frees.
        for (int i = activeCount - 1; i >= 0; --i) {
            const Voice &other = voices[active[i]];
            if (other.channel == ch && other.exclusiveClass == classes[c] && other.noteId != id) Cut(active[i]);
        }
}

// A free slot, or the slot of the voice that is stolen for it: the quietest
// releasing voice, else the quietest of all, never one of this note's own.
int Synthesizer::Impl::Allocate(uint32_t noteId) {
    if (freeCount == 0) {
        int victim = -1;
        double best = 0;
        for (int i = 0; i < activeCount; ++i) {
            const Voice &v = voices[active[i]];
            if (v.noteId == noteId) continue;
            double score = v.Loudness() + (v.Releasing() ? 0.0 : 10.0);
            if (victim < 0 || score < best) victim = i, best = score;
        }
        if (victim < 0) return -1;
        Cut(active[victim]);
    }
    return freeSlots[--freeCount];
}

// Ends a voice without a click: its next few milliseconds, faded out, go
// into the ring ahead of the output, and its slot is free at once.
void Synthesizer::Impl::Cut(int slot) {
    Voice &v = voices[slot];
    float l[kBlockFrames], r[kBlockFrames];
    for (int done = 0; done < fadeFrames;) {
        int n = std::min(kBlockFrames, fadeFrames - done);
        std::fill(l, l + n, 0.0f);
        std::fill(r, r + n, 0.0f);
        // The fade goes to the dry mix only.
        bool more = v.Render(n, Buses{l, r, nullptr, nullptr});
        for (int i = 0; i < n; ++i) {
            float w = 1.0f - static_cast<float>(done + i) / fadeFrames;
            float *at = tail[(tailPos + done + i) & kTailMask];
            at[0] += l[i] * w;
            at[1] += r[i] * w;
        }
        done += n;
        if (!more) break;
    }
    tailLeft = std::max(tailLeft, fadeFrames);
    for (int i = 0; i < activeCount; ++i)
        if (active[i] == slot) {
            Free(i);
            break;
        }
}

void Synthesizer::Impl::Free(int position) {
    freeSlots[freeCount++] = active[position];
    voices[active[position]].channel = -1;
    active[position] = active[--activeCount];
}

void Synthesizer::Impl::RenderBlock(float *out, int frames) {
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    bool effectsOn = effects == Effects::On;
    if (effectsOn) {
        std::fill(reverb, reverb + frames, 0.0f);
        std::fill(chorus, chorus + frames, 0.0f);
    }
    Buses buses{left, right, effectsOn ? reverb : nullptr, effectsOn ? chorus : nullptr};
    for (int i = 0; i < activeCount;) {
        if (voices[active[i]].Render(frames, buses)) ++i;
        else Free(i);
    }
    if (tailLeft > 0) {
        for (int i = 0; i < frames; ++i) {
            float *at = tail[(tailPos + i) & kTailMask];
            left[i] += at[0];
            right[i] += at[1];
            at[0] = at[1] = 0;
        }
        tailLeft = std::max(tailLeft - frames, 0);
    }
    tailPos = (tailPos + frames) & kTailMask;
    for (int i = 0; i < frames; ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
    if (effectsOn) {
        reverbUnit.Process(reverb, out, static_cast<size_t>(frames));
        chorusUnit.Process(chorus, out, static_cast<size_t>(frames));
    }
    float gain = static_cast<float>(masterGain * fadeGain * kOutputGain);
    for (int i = 0; i < 2 * frames; ++i) out[i] = SoftClip(out[i] * gain);
}

namespace {

// The device ids this synthesizer answers to: the modules' factory setting
// (device 17) and "all".
constexpr uint8_t kDeviceId = 0x10, kAllDevices = 0x7F;
constexpr uint8_t kRolandId = 0x41, kGsModelId = 0x42, kDataSet = 0x12;
constexpr uint8_t kYamahaId = 0x43, kXgModelId = 0x4C;
constexpr uint8_t kUniversalRealTime = 0x7F, kUniversalNonRealTime = 0x7E;

// The channel of a GS part block (the x of 40 1x yy): block 0 is part 10,
// blocks 1-9 parts 1-9, the others parts 11-16.
int ChannelOfBlock(int block) { return block == 0 ? 9 : block <= 9 ? block - 1 : block; }

// A GS key shift (0x28..0x58, 0x40 none) in semitones.
int KeyShiftOf(uint8_t value) { return std::clamp(int{value}, 0x28, 0x58) - 0x40; }

}  // namespace

void Synthesizer::Impl::SetMasterVolume(double fraction) {
    // On the same square law as the channel volume.
    masterGain = fraction * fraction;
}

// Each rejected message is ignored as a whole: a wrong maker, model or
// device, a checksum that does not add up, or one cut short.
void Synthesizer::Impl::SystemExclusive(const uint8_t *m, size_t size) {
    if (size < 6 || m[size - 1] != 0xF7) return;
    bool forUs = m[2] == kDeviceId || m[2] == kAllDevices;
    if (m[1] == kUniversalNonRealTime && size == 6 && forUs && m[3] == 0x09 && (m[4] == 0x01 || m[4] == 0x03)) {
        ResetAll(SystemMode::Gm);  // GM System On, GM2 System On
    } else if (m[1] == kUniversalRealTime && size == 8 && forUs && m[3] == 0x04) {
        int value = (m[5] & 0x7F) | (m[6] & 0x7F) << 7;
        switch (m[4]) {
        case 0x01: SetMasterVolume(value / 16383.0); break;
        case 0x03: masterFineCents = (value - 8192) * 100.0 / 8192; RetuneAll(); break;
        case 0x04: masterCoarseSemitones = (m[6] & 0x7F) - 64; RetuneAll(); break;
        default: break;
        }
    } else if (m[1] == kRolandId && forUs && m[3] == kGsModelId && m[4] == kDataSet) {
        GsDataSet(m + 5, size - 6);
    } else if (m[1] == kYamahaId && size == 9 && m[2] == kDeviceId && m[3] == kXgModelId && m[4] == 0 &&
               m[5] == 0 && m[6] == 0x7E && m[7] == 0) {
        ResetAll(SystemMode::Xg);
    }
}

// A GS data set: address (3 bytes), data, checksum.  Data of more than one
// byte fills the addresses that follow, as the modules take it.
void Synthesizer::Impl::GsDataSet(const uint8_t *body, size_t size) {
    if (size < 5) return;
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) {
        if (body[i] & 0x80) return;
        sum += body[i];
    }
    if (sum % 128 != 0) return;
    uint32_t packed = uint32_t{body[0]} << 14 | uint32_t{body[1]} << 7 | body[2];
    for (size_t i = 3; i + 1 < size; ++i, ++packed) {
        uint32_t address = (packed >> 14 & 0x7F) << 16 | (packed >> 7 & 0x7F) << 8 | (packed & 0x7F);
        GsWrite(address, body[i]);
    }
}

void Synthesizer::Impl::GsWrite(uint32_t address, uint8_t value) {
    // GS reset, and the system mode set of the later modules.
    if (address == 0x40007F || address == 0x00007F) {
        ResetAll(SystemMode::Gs);
        return;
    }
    if (address >= 0x400000 && address <= 0x400003) {
        // Master tune: four nibbles, 0x0400 none, in tenths of a cent.
        masterTune[address & 3] = value & 0x0F;
        int tenths = masterTune[0] << 12 | masterTune[1] << 8 | masterTune[2] << 4 | masterTune[3];
        masterFineCents = (std::clamp(tenths, 0x18, 0x7E8) - 0x400) / 10.0;
        RetuneAll();
        return;
    }
    switch (address) {
    case 0x400004: SetMasterVolume(value / 127.0); return;
    case 0x400005: masterKeyShift = KeyShiftOf(value); return;
    case 0x400130: reverbUnit.SetVoicing(value); return;
    case 0x400138: chorusUnit.SetVoicing(value); return;
    default: break;
    }
    if ((address & 0xFFF000) != 0x401000) return;
    int ch = ChannelOfBlock(address >> 8 & 0x0F);
    ChannelState &c = channels[ch];
    // Part edits that have a controller go through it, so that the two are
    // one setting and the later of them holds.
    switch (address & 0xFF) {
    case 0x15:  // use for rhythm part
        c.drums = value != 0;
        ChoosePreset(c);
        break;
    case 0x16: c.keyShift = KeyShiftOf(value); break;
    case 0x19: ControlChange(ch, kVolume, value); break;
    case 0x1C:
        // 0 is "random"; the controller keeps its value for when a later one ends it.
        c.randomPan = value == 0;
        if (value != 0) ControlChange(ch, kPanController, value);
        else ModulateChannel(ch);
        break;
    case 0x21: ControlChange(ch, kChorusSend, value); break;
    case 0x22: ControlChange(ch, kReverbSend, value); break;
    default: break;
    }
}

void Synthesizer::Impl::RetuneAll() {
    for (int ch = 0; ch < kChannels; ++ch) ModulateChannel(ch);
}

Synthesizer::Synthesizer(std::shared_ptr<const SoundFont> font, int sampleRate, Effects effects)
    : impl_(std::make_unique<Impl>(std::move(font), sampleRate, effects)) {
    Reset();
}

Synthesizer::~Synthesizer() = default;

void Synthesizer::Send(const uint8_t *message, size_t size) {
    if (!message || size == 0) return;
    if (message[0] == 0xF0) impl_->SystemExclusive(message, size);
    else if (message[0] >= 0x80 && message[0] < 0xF0) impl_->Channel(message, size);
}

void Synthesizer::Render(float *stereo, size_t frames) {
    while (frames > 0) {
        int n = static_cast<int>(std::min<size_t>(frames, kBlockFrames));
        impl_->RenderBlock(stereo, n);
        stereo += 2 * n;
        frames -= static_cast<size_t>(n);
    }
}

int Synthesizer::ActiveVoices() const { return impl_->activeCount; }

void Synthesizer::Reset() {
    Impl &s = *impl_;
    s.activeCount = 0;
    s.freeCount = 0;
    for (int slot = kMaxVoices - 1; slot >= 0; --slot) {
        s.voices[slot].channel = -1;
        s.freeSlots[s.freeCount++] = slot;
    }
    std::memset(s.tail, 0, sizeof s.tail);
    s.reverbUnit.Reset();
    s.chorusUnit.Reset();
    s.tailLeft = 0;
    s.ResetAll(SystemMode::Gm);
}

int Synthesizer::SampleRate() const { return impl_->rate; }

void Synthesizer::SetFadeGain(double gain) { impl_->fadeGain = std::min(std::max(gain, 0.0), 1.0); }

}  // namespace synth
