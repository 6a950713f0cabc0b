#include "korvel/sequencer.h"

#include <algorithm>

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

class Player {
public:
    Player(const Song &song, Waiter &waiter, WaitPrimitives &clock, SongOutput &output)
        : song_(song), waiter_(waiter), clock_(clock), output_(output) {}

    PlayOutcome Play() {
        const std::vector<SongEvent> &events = song_.events;
        if (!output_.Send(kGmSystemOn, sizeof kGmSystemOn, true)) return PlayOutcome::Failed;
        // The song's time 0 is when the reset has gone out: a device takes
        // it at the speed of its wire (some 2 ms), and the first events must
        // not come that much later than the rest.
        shiftUs_ = clock_.NowUs();
        output_.EndBatch(0, false, IdleUntil(events.empty() ? song_.endUs + shiftUs_ : Due(events[0])));
        size_t next = 0;
        while (next < events.size()) {
            if (!waiter_.WaitUntil(Due(events[next]))) return Silence(PlayOutcome::Stopped);
            // Everything due by now goes out together: events of one moment,
            // and any that a late wake has made overdue.
            int64_t now = clock_.NowUs();
            if (now - Due(events[next]) > kFreezeLateUs && !Reanchor(events[next], now)) return PlayOutcome::Failed;
            bool noteStarted = false;
            size_t sent = 0;
            do {
                const SongEvent &e = events[next++];
                const uint8_t *message = song_.Message(e);
                noteStarted |= notes_.Observe(message, e.size);
                if (!output_.Send(message, e.size, false)) return PlayOutcome::Failed;
                if (++sent % kStopCheckInterval == 0 && clock_.StopRequested()) {
                    output_.EndBatch(notes_.Sounding(), noteStarted, 0);
                    return Silence(PlayOutcome::Stopped);
                }
            } while (next < events.size() && Due(events[next]) <= now);
            output_.EndBatch(notes_.Sounding(), noteStarted,
                             IdleUntil(next < events.size() ? Due(events[next]) : song_.endUs + shiftUs_));
        }
        if (!waiter_.WaitUntil(song_.endUs + shiftUs_)) return Silence(PlayOutcome::Stopped);
        return Silence(PlayOutcome::Ended);
    }

private:
    int64_t Due(const SongEvent &e) const { return e.timeUs + shiftUs_; }

    // The process was frozen: the notes that sounded when it stopped would
    // ring on through everything that fell due meanwhile, so they are
    // released, and the song resumes at the event it stood at, now.
    bool Reanchor(const SongEvent &resumeAt, int64_t now) {
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
        shiftUs_ = now - resumeAt.timeUs;
        return true;
    }

    PlayOutcome Silence(PlayOutcome outcome) {
        for (const ShortMessage &m : SilenceMessages(song_.channelsUsed, notes_)) {
            notes_.Observe(m.data(), m.size());
            if (!output_.Send(m.data(), m.size(), true)) return PlayOutcome::Failed;
        }
        output_.EndBatch(notes_.Sounding(), false, SongOutput::kIdleForGood);
        return outcome;
    }

    int64_t IdleUntil(int64_t dueUs) { return std::max<int64_t>(dueUs - clock_.NowUs(), 0); }

    const Song &song_;
    Waiter &waiter_;
    WaitPrimitives &clock_;
    SongOutput &output_;
    NoteTracker notes_;
    int64_t shiftUs_ = 0;  // how far the reset and freezes have moved the song's time origin
};

}  // namespace

PlayOutcome PlaySong(const Song &song, Waiter &waiter, WaitPrimitives &clock, SongOutput &output) {
    return Player(song, waiter, clock, output).Play();
}

}  // namespace korvel
