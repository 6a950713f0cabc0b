#include "korvel/sequencer/sequencer.h"

#include <algorithm>
#include <map>

namespace korvel {

const uint8_t kGmSystemOn[6] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

bool NoteTracker::Observe(const uint8_t *message, size_t size) {
    // Only whole channel messages count; an escape packet may hold anything.
    if (size != 3 || message[0] < 0x80 || message[0] > 0xEF || (message[1] & 0x80) || (message[2] & 0x80))
        return false;
    uint8_t kind = message[0] & 0xF0;
    int channel = message[0] & 0x0F;
    if (kind == 0x90 && message[2] != 0) {
        uint16_t &count = count_[channel][message[1] & 127];
        if (count != 0xFFFF) {
            ++count;
            ++total_;
        }
        return true;
    }
    if (kind == 0x80 || kind == 0x90) {
        uint16_t &count = count_[channel][message[1] & 127];
        if (count) {
            --count;
            --total_;
        }
    } else if (kind == 0xB0 && (message[1] == 120 || message[1] == 123)) {
        for (uint16_t &count : count_[channel]) {
            total_ -= count;
            count = 0;
        }
    }
    return false;
}

bool IsAllSoundOff(const uint8_t *message, size_t size) {
    return size == 3 && (message[0] & 0xF0) == 0xB0 && message[1] == 120;
}

ShortMessage RingOutFor(uint8_t status) { return {status, 66, 0}; }

std::vector<ShortMessage> SilenceMessages(uint16_t channels, const NoteTracker &notes) {
    std::vector<ShortMessage> out;
    for (int channel = 0; channel < 16; ++channel) {
        if (!(channels & (1u << channel))) continue;
        uint8_t c = static_cast<uint8_t>(channel);
        for (int key = 0; key < 128; ++key)
            if (notes.IsSounding(channel, key))
                out.push_back({static_cast<uint8_t>(0x80 | c), static_cast<uint8_t>(key), 0x40});
        out.push_back({static_cast<uint8_t>(0xB0 | c), 64, 0});
        out.push_back({static_cast<uint8_t>(0xB0 | c), 120, 0});
        out.push_back({static_cast<uint8_t>(0xB0 | c), 123, 0});
    }
    return out;
}

namespace {

// Waits up to this long are one fine sleep: every wake costs processor
// time, and a fine sleep is as precise over milliseconds as over
// microseconds.  Longer ones start with a coarse wait, which a stop can
// interrupt.
constexpr int64_t kLongestFineSleepUs = 20000;
// Left for the fine sleep after a coarse wait, at least: generous, because
// a coarse wait may depend on another process to wake it (as Wine's timers
// do), which a busy machine can delay by several milliseconds, and the fine
// sleep costs the same however long.
constexpr int64_t kFineReserveUs = 20000;
// Added to the learned coarse lateness before aiming.
constexpr int64_t kCoarseMarginUs = 300;
// Shorter sleeps are not worth their system call: spin instead.
constexpr int64_t kMinFineSleepUs = 30;
constexpr int64_t kMinCoarseWaitUs = 500;
// A fine sleep that is typically this late is no better than the timer.
constexpr int64_t kFineGiveUpUs = 600;
// Spinning costs processor time the whole way, while a wake costs the same
// however long the sleep: the spin for the last microseconds is kept to
// this share of the time that passes (1/2000: a twentieth of the 1 % of a
// core a dense song may cost, where 1/500 was a fifth of it and measurably
// pushed the song over; the timing stays within a tenth of a millisecond),
// plus a small allowance for the song's start.
// Past it the waiter sleeps and comes late by a sleep's lateness instead; a
// timer that must be aimed early by most of a millisecond could otherwise
// spin for a tenth of the processor.
constexpr int64_t kSpinShare = 2000;
constexpr int64_t kSpinAllowanceUs = 2000;
// Lateness beyond this (a suspended machine) counts as this.
constexpr int64_t kLatenessCapUs = 100000;

// How many messages go out between two looks at the stop request.
constexpr size_t kStopCheckInterval = 64;

}  // namespace

LatenessWindow::LatenessWindow(int64_t initialUs) : typical_(std::clamp<int64_t>(initialUs, 0, kLatenessCapUs)) {
    std::fill(samples_, samples_ + kSize, typical_);
}

void LatenessWindow::Add(int64_t lateUs) {
    samples_[next_] = std::clamp<int64_t>(lateUs, 0, kLatenessCapUs);
    next_ = (next_ + 1) % kSize;
    int64_t sorted[kSize];
    std::copy(samples_, samples_ + kSize, sorted);
    std::nth_element(sorted, sorted + kSize / 2, sorted + kSize);
    typical_ = sorted[kSize / 2];
}

Waiter::Waiter(WaitPrimitives &primitives, const Tuning &tuning)
    : p_(primitives), fineUsable_(tuning.fineSleepUsable), fineLate_(tuning.fineLateUs), coarseLate_(200) {}

bool Waiter::Coarse(int64_t us, int64_t now) {
    if (!p_.CoarseWait(us)) return false;
    coarseLate_.Add(p_.NowUs() - now - us);
    return true;
}

void Waiter::Fine(int64_t us, int64_t now) {
    p_.FineSleep(us);
    fineLate_.Add(p_.NowUs() - now - us);
    if (fineLate_.Typical() > kFineGiveUpUs) fineUsable_ = false;
}

bool Waiter::WaitUntil(int64_t dueUs) {
    for (;;) {
        if (p_.StopRequested()) return false;
        int64_t now = p_.NowUs();
        int64_t left = dueUs - now;
        if (left <= 0) return true;
        if (fineUsable_) {
            // A long wait starts with whole milliseconds, leaving enough for
            // the fine sleep even when the coarse wait comes late.
            int64_t reserve = std::max(kFineReserveUs, 2 * coarseLate_.Typical() + kCoarseMarginUs);
            if (left > kLongestFineSleepUs + reserve) {
                if (!Coarse((left - reserve) / 1000 * 1000, now)) return false;
                continue;
            }
            int64_t ask = left - fineLate_.Typical();
            if (ask >= kMinFineSleepUs) {
                Fine(ask, now);
                continue;
            }
        } else {
            int64_t ask = left - coarseLate_.Typical() - kCoarseMarginUs;
            if (ask >= kMinCoarseWaitUs) {
                if (!Coarse(ask, now)) return false;
                continue;
            }
        }
        if (!SpinAffordable(left, now)) {
            // Late by a sleep's lateness rather than over the budget.
            if (fineUsable_)
                Fine(left, now);
            else if (!Coarse(left, now))
                return false;
            continue;
        }
        p_.SpinStep();
        spunUs_ += p_.NowUs() - now;
    }
}

bool Waiter::SpinAffordable(int64_t leftUs, int64_t now) {
    if (startUs_ < 0) startUs_ = now;
    return spunUs_ + leftUs <= kSpinAllowanceUs + (now - startUs_) / kSpinShare;
}

namespace {

constexpr uint8_t kLoopStartMark = 111;

// The state of one channel that a loop's jump puts back, as far as channel
// messages set it.
struct ChannelChase {
    // A parameter number with its kind: bit 14 set for an NRPN.
    using ParameterKey = uint16_t;
    static constexpr ParameterKey kNrpn = 0x4000;
    static constexpr ParameterKey kNoParameter = 0x3FFF;  // RPN 127/127
    struct Value {
        uint8_t msb = 0;
        uint8_t lsb = 0;
        bool lsbSet = false;
    };

    uint8_t controllers[128] = {};
    uint8_t program = 0;
    uint8_t pressure = 0;
    uint16_t bend = 8192;
    ParameterKey selected = kNoParameter;
    std::map<ParameterKey, Value> parameters;

    // What the engine's GM System On leaves.
    ChannelChase() {
        controllers[7] = 100;
        controllers[10] = 64;
        controllers[11] = 127;
        controllers[91] = 40;
        for (int c = 98; c <= 101; ++c) controllers[c] = 127;
    }

    // What Reset All Controllers sets.
    void ResetControllers() {
        controllers[1] = 0;
        controllers[11] = 127;
        for (int c = 64; c <= 69; ++c) controllers[c] = 0;
        for (int c = 98; c <= 101; ++c) controllers[c] = 127;
        pressure = 0;
        bend = 8192;
        selected = kNoParameter;
    }

    // 127/127 selects none, of either kind.
    void Select(ParameterKey kind, uint8_t msb, uint8_t lsb) {
        selected = msb == 127 && lsb == 127 ? kNoParameter : static_cast<ParameterKey>(kind | (msb << 7) | lsb);
    }
};

bool IsDataEntry(uint8_t controller) { return controller == 6 || controller == 38 || controller == 96 || controller == 97; }
bool IsSelection(uint8_t controller) { return controller >= 98 && controller <= 101; }

// Applies one channel message to the state; controller 121 is followed, the
// other channel mode messages change nothing kept here.
void Follow(ChannelChase &c, const uint8_t *m, size_t size) {
    uint8_t kind = m[0] & 0xF0;
    if (kind == 0xC0 && size >= 2) c.program = m[1];
    if (kind == 0xD0 && size >= 2) c.pressure = m[1];
    if (kind == 0xE0 && size >= 3) c.bend = static_cast<uint16_t>(m[1] | (m[2] << 7));
    if (kind != 0xB0 || size < 3) return;
    uint8_t number = m[1], value = m[2];
    if (number == 121) c.ResetControllers();
    if (number >= 120) return;
    c.controllers[number] = value;
    switch (number) {
    case 101: case 100: c.Select(0, c.controllers[101], c.controllers[100]); break;
    case 99: case 98: c.Select(ChannelChase::kNrpn, c.controllers[99], c.controllers[98]); break;
    case 6:
        if (c.selected != ChannelChase::kNoParameter) c.parameters[c.selected].msb = value;
        break;
    case 38:
        if (c.selected != ChannelChase::kNoParameter) {
            ChannelChase::Value &v = c.parameters[c.selected];
            v.lsb = value;
            v.lsbSet = true;
        }
        break;
    default: break;
    }
}

// A parameter the song never set before the loop: its value after the
// reset, where it is known (bend range, tunings, the GS and XG relative
// NRPNs of vibrato, filter and envelope, centred at 64); false where not.
bool DefaultParameter(ChannelChase::ParameterKey key, ChannelChase::Value &value) {
    if (key == 0) {
        value = {2, 0, false};
        return true;
    }
    if (key == 1 || key == 2 || (key & ~0x7F) == (ChannelChase::kNrpn | (1 << 7))) {
        value = {64, 0, false};
        return true;
    }
    return false;
}

// What the loop's events change, per channel.
struct Touched {
    bool controllers[128] = {};
    bool program = false, pressure = false, bend = false, selection = false;
    std::vector<ChannelChase::ParameterKey> parameters;
};

bool IsChannelVoiceMessage(const uint8_t *m, size_t size) {
    if (size < 2 || m[0] < 0x80 || m[0] > 0xEF) return false;
    size_t wanted = (m[0] & 0xF0) == 0xC0 || (m[0] & 0xF0) == 0xD0 ? 2 : 3;
    if (size != wanted) return false;
    for (size_t i = 1; i < size; ++i)
        if (m[i] & 0x80) return false;
    return true;
}

// What goes out at each jump back to the loop's start, after the
// note-offs: the pedals up, then what the loop changes put back as it stood
// at the start.
std::vector<ShortMessage> LoopJumpMessages(const Song &song) {
    ChannelChase atStart[16];
    const SongLoop &loop = song.loop;
    for (size_t i = 0; i < loop.startIndex && i < song.events.size(); ++i) {
        const SongEvent &e = song.events[i];
        const uint8_t *m = song.Message(e);
        if (IsChannelVoiceMessage(m, e.size)) Follow(atStart[m[0] & 15], m, e.size);
    }
    // Which of it the loop changes: the passes differ only there.
    Touched touched[16];
    ChannelChase during[16];
    std::copy(atStart, atStart + 16, during);
    for (size_t i = loop.startIndex; i < loop.endIndex && i < song.events.size(); ++i) {
        const SongEvent &e = song.events[i];
        const uint8_t *m = song.Message(e);
        if (!IsChannelVoiceMessage(m, e.size)) continue;
        int channel = m[0] & 15;
        Touched &t = touched[channel];
        ChannelChase &c = during[channel];
        uint8_t kind = m[0] & 0xF0;
        if (kind == 0xC0) t.program = true;
        if (kind == 0xD0) t.pressure = true;
        if (kind == 0xE0) t.bend = true;
        if (kind == 0xB0) {
            uint8_t number = m[1];
            if (number == 121) {
                t.controllers[1] = t.controllers[11] = true;
                for (int p = 64; p <= 69; ++p) t.controllers[p] = true;
                t.pressure = t.bend = t.selection = true;
            } else if (IsSelection(number)) {
                t.selection = true;
            } else if (IsDataEntry(number)) {
                if (c.selected != ChannelChase::kNoParameter &&
                    std::find(t.parameters.begin(), t.parameters.end(), c.selected) == t.parameters.end())
                    t.parameters.push_back(c.selected);
            } else if (number < 120 && number != kLoopStartMark) {
                t.controllers[number] = true;
            }
        }
        Follow(c, m, e.size);
    }

    // The pedals go up first, so that no note the jump releases is held.
    std::vector<ShortMessage> out;
    auto heldPedal = [&](int channel, int pedal) {
        return touched[channel].controllers[pedal] || atStart[channel].controllers[pedal] != 0;
    };
    for (int channel = 0; channel < 16; ++channel)
        for (int pedal : {64, 66})
            if ((song.channelsUsed & (1u << channel)) && heldPedal(channel, pedal))
                out.push_back({static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(pedal), 0});
    for (int channel = 0; channel < 16; ++channel) {
        if (!(song.channelsUsed & (1u << channel))) continue;
        const ChannelChase &c = atStart[channel];
        const Touched &t = touched[channel];
        uint8_t cc = static_cast<uint8_t>(0xB0 | channel);
        for (int number = 0; number < 120; ++number) {
            if (number == 0 || number == 32) continue;  // the bank goes out with the program, which takes it
            bool pedal = number == 64 || number == 66;
            if (t.controllers[number] || (pedal && heldPedal(channel, number)))
                out.push_back({cc, static_cast<uint8_t>(number), c.controllers[number]});
        }
        if (t.program || t.controllers[0] || t.controllers[32]) {
            out.push_back({cc, 0, c.controllers[0]});
            out.push_back({cc, 32, c.controllers[32]});
            out.push_back({static_cast<uint8_t>(0xC0 | channel), c.program, 0});
        }
        if (t.pressure) out.push_back({static_cast<uint8_t>(0xD0 | channel), c.pressure, 0});
        if (t.bend)
            out.push_back({static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(c.bend & 0x7F),
                           static_cast<uint8_t>(c.bend >> 7)});
        bool selectionSent = false;
        for (ChannelChase::ParameterKey key : t.parameters) {
            ChannelChase::Value value;
            auto found = c.parameters.find(key);
            if (found != c.parameters.end())
                value = found->second;
            else if (!DefaultParameter(key, value))
                continue;
            bool nrpn = (key & ChannelChase::kNrpn) != 0;
            out.push_back({cc, static_cast<uint8_t>(nrpn ? 99 : 101), static_cast<uint8_t>((key >> 7) & 0x7F)});
            out.push_back({cc, static_cast<uint8_t>(nrpn ? 98 : 100), static_cast<uint8_t>(key & 0x7F)});
            out.push_back({cc, 6, value.msb});
            if (value.lsbSet) out.push_back({cc, 38, value.lsb});
            selectionSent = true;
        }
        if (t.selection || selectionSent) {
            bool nrpn = c.selected != ChannelChase::kNoParameter && (c.selected & ChannelChase::kNrpn);
            uint8_t msb = static_cast<uint8_t>((c.selected >> 7) & 0x7F), lsb = static_cast<uint8_t>(c.selected & 0x7F);
            out.push_back({cc, static_cast<uint8_t>(nrpn ? 99 : 101), msb});
            out.push_back({cc, static_cast<uint8_t>(nrpn ? 98 : 100), lsb});
        }
    }
    return out;
}

// Program change and channel pressure are two bytes long.
size_t SizeOf(const ShortMessage &m) {
    uint8_t kind = m[0] & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

bool IsVolume(const uint8_t *m, size_t size) { return size == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == 7 && m[2] < 128; }

class Player {
public:
    Player(const Song &song, Waiter &waiter, WaitPrimitives &clock, SongOutput &output, LoopPlay loop)
        : song_(song), waiter_(waiter), clock_(clock), output_(output), loopPlay_(loop) {
        std::fill(std::begin(volume_), std::end(volume_), uint8_t{100});
    }

    PlayOutcome Play() {
        const std::vector<SongEvent> &events = song_.events;
        const SongLoop &loop = song_.loop;
        bool looping = loopPlay_ != LoopPlay::Off && loop.present();
        if (looping) jump_ = LoopJumpMessages(song_);
        // Where a pass ends: the loop's end while the song loops.
        size_t stop = looping ? loop.endIndex : events.size();
        int64_t stopUs = looping ? loop.endUs : song_.endUs;
        if (!output_.Send(kGmSystemOn, sizeof kGmSystemOn, true)) return PlayOutcome::Failed;
        // The song's time 0 is when the reset has gone out: a device takes
        // it at the speed of its wire (some 2 ms), and the first events must
        // not come that much later than the rest.
        shiftUs_ = clock_.NowUs();
        output_.EndBatch(0, false, IdleUntil(stop == 0 ? stopUs + shiftUs_ : Due(events[0])));
        size_t next = 0;
        for (int jumps = 0;; ++jumps) {
            while (next < stop) {
                Wake wake = WaitTo(Due(events[next]));
                if (wake != Wake::Due) return Finish(wake);
                // Everything due by now goes out together: events of one moment,
                // and any that a late wake has made overdue.
                int64_t now = clock_.NowUs();
                if (now - Due(events[next]) > kFreezeLateUs && !Reanchor(events[next], now))
                    return PlayOutcome::Failed;
                bool noteStarted = false;
                size_t sent = 0;
                do {
                    const SongEvent &e = events[next++];
                    const uint8_t *message = song_.Message(e);
                    noteStarted |= notes_.Observe(message, e.size);
                    if (!SendSong(message, e.size, false)) return PlayOutcome::Failed;
                    if (++sent % kStopCheckInterval == 0 && clock_.StopRequested()) {
                        output_.EndBatch(notes_.Sounding(), noteStarted, 0);
                        return Silence(PlayOutcome::Stopped);
                    }
                } while (next < stop && Due(events[next]) <= now);
                output_.EndBatch(notes_.Sounding(), noteStarted,
                                 IdleUntil(next < stop ? Due(events[next]) : stopUs + shiftUs_));
            }
            Wake wake = WaitTo(stopUs + shiftUs_);
            if (wake != Wake::Due) return Finish(wake);
            if (!looping) return Silence(PlayOutcome::Ended);
            if (!JumpBack()) return PlayOutcome::Failed;
            next = loop.startIndex;
            shiftUs_ += loop.endUs - loop.startUs;
            // The first jump starts the second pass; the second starts the fade.
            if (loopPlay_ == LoopPlay::TwoPassesAndFade && jumps == 1) {
                gainFade_ = output_.FadesByGain();
                fadeStartUs_ = clock_.NowUs();
                nextFadeUs_ = fadeStartUs_ + kLoopFadeStepUs;
            }
        }
    }

private:
    // Why a wait ended.
    enum class Wake { Due, Stopped, Lost, Faded };

    bool Fading() const { return fadeStartUs_ >= 0; }

    // Waits until dueUs, stepping the fade down on its way.
    Wake WaitTo(int64_t dueUs) {
        while (Fading() && nextFadeUs_ <= dueUs) {
            if (!waiter_.WaitUntil(nextFadeUs_)) return Wake::Stopped;
            int64_t left = std::max<int64_t>(fadeStartUs_ + kLoopFadeUs - clock_.NowUs(), 0);
            level_ = static_cast<int>((left * kFullLevel + kLoopFadeUs - 1) / kLoopFadeUs);
            if (gainFade_) {
                if (!output_.Fade(static_cast<double>(level_) / kFullLevel)) return Wake::Lost;
            } else {
                for (int channel = 0; channel < 16; ++channel) {
                    if (!(song_.channelsUsed & (1u << channel))) continue;
                    ShortMessage m = {static_cast<uint8_t>(0xB0 | channel), 7, Faded(volume_[channel])};
                    if (!output_.Send(m.data(), m.size(), true)) return Wake::Lost;
                }
            }
            output_.EndBatch(notes_.Sounding(), false, 0);
            if (level_ == 0) return Wake::Faded;
            nextFadeUs_ += kLoopFadeStepUs;
        }
        return waiter_.WaitUntil(dueUs) ? Wake::Due : Wake::Stopped;
    }

    PlayOutcome Finish(Wake wake) {
        switch (wake) {
        case Wake::Stopped: return Silence(PlayOutcome::Stopped);
        case Wake::Lost: return PlayOutcome::Failed;
        case Wake::Faded: return Silence(PlayOutcome::Ended);
        case Wake::Due: break;
        }
        return PlayOutcome::Ended;
    }

    uint8_t Faded(uint8_t volume) const {
        if (gainFade_) return volume;
        return static_cast<uint8_t>((volume * level_ + kFullLevel / 2) / kFullLevel);
    }

    // A song's volume is the channel's own: while the song fades it goes out
    // scaled to the fade.
    bool SendSong(const uint8_t *message, size_t size, bool added) {
        if (!IsVolume(message, size)) return output_.Send(message, size, added);
        volume_[message[0] & 15] = message[2];
        ShortMessage m = {message[0], 7, Faded(message[2])};
        return output_.Send(m.data(), m.size(), added);
    }

    bool RestoreVolumes() {
        level_ = kFullLevel;
        if (gainFade_) return output_.Fade(1.0);
        for (int channel = 0; channel < 16; ++channel) {
            if (!(song_.channelsUsed & (1u << channel))) continue;
            ShortMessage m = {static_cast<uint8_t>(0xB0 | channel), 7, volume_[channel]};
            if (!output_.Send(m.data(), m.size(), true)) return false;
        }
        return true;
    }

    // Back to the loop's start: the notes that sound are released and the
    // channels put back as they were there.
    bool JumpBack() {
        if (!ReleaseSounding()) return false;
        for (const ShortMessage &m : jump_)
            if (!SendSong(m.data(), SizeOf(m), true)) return false;
        output_.EndBatch(notes_.Sounding(), false, 0);
        return true;
    }

    int64_t Due(const SongEvent &e) const { return e.timeUs + shiftUs_; }

    // The process was frozen: the notes that sounded when it stopped would
    // ring on through everything that fell due meanwhile, so they are
    // released, and the song resumes at the event it stood at, now.
    bool Reanchor(const SongEvent &resumeAt, int64_t now) {
        if (!ReleaseSounding()) return false;
        int64_t moved = now - resumeAt.timeUs - shiftUs_;
        shiftUs_ += moved;
        if (Fading()) {
            fadeStartUs_ += moved;
            nextFadeUs_ += moved;
        }
        return true;
    }

    bool ReleaseSounding() {
        std::vector<ShortMessage> offs;
        for (int channel = 0; channel < 16; ++channel)
            for (int key = 0; key < 128; ++key)
                // A key struck twice is released twice, for devices that count.
                for (int strike = 0; strike < notes_.Strikes(channel, key); ++strike)
                    offs.push_back({static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 0x40});
        for (const ShortMessage &m : offs) {
            notes_.Observe(m.data(), m.size());
            if (!output_.Send(m.data(), m.size(), true)) return false;
        }
        if (!offs.empty()) output_.EndBatch(notes_.Sounding(), false, 0);
        return true;
    }

    // Once the fade has begun, each channel's own volume is put back after
    // the silence for the next song.  What still sounds is cut first, so
    // that the volume brings nothing back: the outputs let only the
    // engine's own All Sound Off ring out, hence it goes as the song's.
    PlayOutcome Silence(PlayOutcome outcome) {
        bool faded = Fading();
        for (const ShortMessage &m : SilenceMessages(song_.channelsUsed, notes_)) {
            notes_.Observe(m.data(), m.size());
            if (!output_.Send(m.data(), m.size(), !(faded && IsAllSoundOff(m.data(), m.size()))))
                return PlayOutcome::Failed;
        }
        if (faded && !RestoreVolumes()) return PlayOutcome::Failed;
        output_.EndBatch(notes_.Sounding(), false, SongOutput::kIdleForGood);
        return outcome;
    }

    int64_t IdleUntil(int64_t dueUs) { return std::max<int64_t>(dueUs - clock_.NowUs(), 0); }

    const Song &song_;
    Waiter &waiter_;
    WaitPrimitives &clock_;
    SongOutput &output_;
    LoopPlay loopPlay_;
    NoteTracker notes_;
    int64_t shiftUs_ = 0;  // how far the reset, freezes and jumps have moved the song's time origin
    std::vector<ShortMessage> jump_;
    uint8_t volume_[16];          // each channel's own volume, as the song set it
    static constexpr int kFullLevel = 1024;
    int level_ = kFullLevel;      // of the fade
    bool gainFade_ = false;       // the output fades by its own gain
    int64_t fadeStartUs_ = -1;    // on the clock; -1 while not fading
    int64_t nextFadeUs_ = 0;
};

}  // namespace

PlayOutcome PlaySong(const Song &song, Waiter &waiter, WaitPrimitives &clock, SongOutput &output, LoopPlay loop) {
    return Player(song, waiter, clock, output, loop).Play();
}

}  // namespace korvel
