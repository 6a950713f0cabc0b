// The sequencer on a fake clock: what is sent when, what a stop leaves
// behind, and how the waits cope with timers that come late.
#include "korvel/sequencer/sequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "korvel/song/smf_reader.h"
#include "testing/midi_writer.h"

namespace sequencer_test {

using korvel::PlayOutcome;
using midiw::Bytes;
using midiw::Track;

// Time passes only in the waits.  Each kind of wait comes late by what its
// lateness function says; a stop can be scheduled.
class FakeSystem : public korvel::WaitPrimitives {
public:
    std::function<int64_t(int64_t)> coarseLate = [](int64_t) { return 0; };
    std::function<int64_t(int64_t)> fineLate = [](int64_t) { return 0; };
    int64_t now = 0;
    int64_t stopAt = INT64_MAX;
    int coarseWaits = 0;

    int64_t NowUs() override { return now; }
    bool StopRequested() override { return now >= stopAt; }
    bool CoarseWait(int64_t us) override {
        ++coarseWaits;
        now += us + coarseLate(us);
        if (now >= stopAt) {
            now = stopAt;  // the stop event ends the wait at once
            return false;
        }
        return true;
    }
    void FineSleep(int64_t us) override { now += us + fineLate(us); }
    void SpinStep() override { now += 1; }
};

struct Sent {
    int64_t at;
    Bytes message;
    bool added;
};

class RecordingOutput : public korvel::SongOutput {
public:
    explicit RecordingOutput(FakeSystem &system) : system_(system) {}
    std::vector<Sent> sent;
    int lastSounding = -1;
    size_t lostAfter = SIZE_MAX;  // messages the device takes before it is unplugged
    int64_t sysexCostUs = 0;      // a device's wire takes its time for a long message

    bool Send(const uint8_t *message, size_t size, bool added) override {
        if (sent.size() >= lostAfter) return false;
        sent.push_back({system_.now, Bytes(message, message + size), added});
        if (message[0] == 0xF0) system_.now += sysexCostUs;
        return true;
    }
    void EndBatch(int soundingNotes, bool, int64_t) override { lastSounding = soundingNotes; }
    // With a gain of its own, as the synthesizer has, the fade's steps.
    bool gain = false;
    std::vector<double> gains;
    bool FadesByGain() const override { return gain; }
    bool Fade(double to) override {
        gains.push_back(to);
        return true;
    }

private:
    FakeSystem &system_;
};

korvel::Song Decode(const Bytes &file) {
    korvel::Song song;
    EXPECT_EQ(korvel::ReadSmf(file.data(), file.size(), song), korvel::SmfError::None);
    return song;
}

// A busy piece: two tracks with uneven gaps, from a few microseconds to a
// good part of a second, and tempo changes.
korvel::Song BusySong() {
    Track a, b;
    uint32_t gaps[] = {1, 7, 30, 2, 480, 13, 0, 96, 5, 250};
    for (int i = 0; i < 200; ++i) {
        a.NoteOn(gaps[i % 10], 0, 40 + i % 40, 90).NoteOff(gaps[(i + 3) % 10], 0, 40 + i % 40);
        b.Controller(gaps[(i + 5) % 10], 1, 7, i % 128);
        if (i % 17 == 0) b.Tempo(0, 300000 + 7919 * i);
    }
    a.End();
    b.End(960);
    return Decode(midiw::File(1, 480, {a, b}));
}

// Lateness of each song message against its time in the song.
std::vector<int64_t> Lateness(const korvel::Song &song, const std::vector<Sent> &sent) {
    std::vector<int64_t> late;
    for (const Sent &s : sent)
        if (!s.added) late.push_back(s.at - song.events.at(late.size()).timeUs);
    EXPECT_EQ(late.size(), song.events.size());
    return late;
}

TEST(Sequencer, SendsEveryEventAtItsTimeBetweenResetAndSilence) {
    Track t;
    t.Program(0, 2, 10).NoteOn(0, 2, 60, 100).NoteOn(240, 2, 60, 0).Sysex(240, {0x41, 0xF7}).End(480);
    korvel::Song song = Decode(midiw::File(0, 480, {t}));
    // The song counts from when the reset has gone out, however long a
    // device takes for it; the first events are no later than the rest.
    for (int64_t sysexCost : {int64_t{0}, int64_t{2000}}) {
        FakeSystem system;
        korvel::Waiter waiter(system, {true, 0});
        RecordingOutput output(system);
        output.sysexCostUs = sysexCost;

        EXPECT_EQ(korvel::PlaySong(song, waiter, system, output), PlayOutcome::Ended);

        const int64_t t0 = sysexCost;
        std::vector<Sent> expected = {{0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, true},
                                      {t0, {0xC2, 10}, false},
                                      {t0, {0x92, 60, 100}, false},
                                      {t0 + 250000, {0x92, 60, 0}, false},
                                      {t0 + 500000, {0xF0, 0x41, 0xF7}, false},
                                      {t0 + 1000000, {0xB2, 64, 0}, true},
                                      {t0 + 1000000, {0xB2, 120, 0}, true},
                                      {t0 + 1000000, {0xB2, 123, 0}, true}};
        ASSERT_EQ(output.sent.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(output.sent[i].at, expected[i].at) << i << " after a reset of " << sysexCost << " us";
            EXPECT_EQ(output.sent[i].message, expected[i].message) << i;
            EXPECT_EQ(output.sent[i].added, expected[i].added) << i;
        }
        EXPECT_EQ(output.lastSounding, 0);
    }
}

TEST(Sequencer, StopSilencesEveryChannelUsedAndEveryNoteLeftSounding) {
    Track t;
    t.NoteOn(0, 0, 60, 100).NoteOn(0, 9, 36, 100).NoteOn(0, 9, 38, 100).NoteOff(100, 9, 36);
    t.NoteOn(0, 4, 70, 1).NoteOff(0, 4, 70).NoteOff(10000, 0, 60).End();
    korvel::Song song = Decode(midiw::File(0, 480, {t}));
    FakeSystem system;
    system.stopAt = 2000000;  // after the notes began, long before they end
    korvel::Waiter waiter(system, {true, 0});
    RecordingOutput output(system);

    EXPECT_EQ(korvel::PlaySong(song, waiter, system, output), PlayOutcome::Stopped);

    std::vector<Bytes> after;
    for (const Sent &s : output.sent)
        if (s.at >= system.stopAt) {
            EXPECT_TRUE(s.added);
            after.push_back(s.message);
        }
    EXPECT_EQ(after, (std::vector<Bytes>{{0x80, 60, 0x40},
                                         {0xB0, 64, 0}, {0xB0, 120, 0}, {0xB0, 123, 0},
                                         {0xB4, 64, 0}, {0xB4, 120, 0}, {0xB4, 123, 0},
                                         {0x89, 38, 0x40},
                                         {0xB9, 64, 0}, {0xB9, 120, 0}, {0xB9, 123, 0}}));
    EXPECT_EQ(output.lastSounding, 0);
}

TEST(Sequencer, AfterAFreezeReleasesTheNotesAndGoesOnFromWhereItStood) {
    // A note held twice on channel 0 under notes of 50 ms every 100 ms on
    // channel 1 (division 500 at 120 BPM: a tick is a millisecond).
    Track t;
    t.NoteOn(0, 0, 60, 100).NoteOn(0, 0, 60, 90);
    for (int i = 0; i < 10; ++i) t.NoteOn(i ? 50 : 0, 1, 70 + i, 100).NoteOff(50, 1, 70 + i);
    t.NoteOff(0, 0, 60).NoteOff(0, 0, 60).End();
    korvel::Song song = Decode(midiw::File(0, 500, {t}));
    // The process stops for 5 s while channel 1's fourth note sounds; then,
    // in a second run, a busy machine holds it back a little less than a freeze.
    for (int64_t stall : {int64_t{5000000}, korvel::kFreezeLateUs - 50000}) {
        FakeSystem system;
        bool stalled = false;
        system.coarseLate = [&](int64_t) { return !stalled && system.now >= 300000 && (stalled = true) ? stall : 0; };
        korvel::Waiter waiter(system, {true, 0});
        RecordingOutput output(system);

        EXPECT_EQ(korvel::PlaySong(song, waiter, system, output), PlayOutcome::Ended);
        ASSERT_TRUE(stalled);
        std::vector<int64_t> late = Lateness(song, output.sent);
        std::vector<Bytes> released;  // by the engine: the song ends with no note left to silence
        for (const Sent &s : output.sent)
            if (s.added && (s.message[0] & 0xF0) == 0x80) released.push_back(s.message);
        if (stall < korvel::kFreezeLateUs) {  // caught up as ever, with no release
            EXPECT_TRUE(released.empty());
            EXPECT_EQ(late.back(), 0);
            continue;
        }
        EXPECT_EQ(released, (std::vector<Bytes>{{0x80, 60, 0x40}, {0x80, 60, 0x40}, {0x81, 73, 0x40}}));
        // Up to the freeze on time; from it on, every event keeps its distance
        // to the next: the song moved as a whole, nothing came in a burst.
        size_t resumed = std::find_if(late.begin(), late.end(), [](int64_t l) { return l > 0; }) - late.begin();
        ASSERT_LT(resumed, late.size());
        for (size_t i = resumed; i < late.size(); ++i) EXPECT_EQ(late[i], late[resumed]) << i;
    }
}

TEST(Sequencer, AnOutputThatIsLostEndsTheSongAsFailedAtOnce) {
    korvel::Song song = BusySong();
    FakeSystem system;
    korvel::Waiter waiter(system, {true, 0});
    RecordingOutput output(system);
    output.lostAfter = 57;
    EXPECT_EQ(korvel::PlaySong(song, waiter, system, output), PlayOutcome::Failed);
    EXPECT_EQ(output.sent.size(), 57u);  // nothing tried after the loss, not even the silence
    EXPECT_LT(system.now, song.endUs);
}

// What one channel's controllers, program and pitch bend stand at after
// the messages sent so far, from the reset's values.
struct ChannelLook {
    std::array<int, 128> controllers{};
    int program = 0, bend = 8192;
    ChannelLook() { controllers[7] = 100, controllers[10] = 64, controllers[11] = 127, controllers[91] = 40; }
    void Follow(const Bytes &m) {
        if ((m[0] & 0xF0) == 0xB0 && m[1] < 120) controllers[m[1]] = m[2];
        if ((m[0] & 0xF0) == 0xC0) program = m[1];
        if ((m[0] & 0xF0) == 0xE0) bend = m[1] | (m[2] << 7);
    }
    bool operator==(const ChannelLook &o) const {
        return controllers == o.controllers && program == o.program && bend == o.bend;
    }
};

// A second of loop after half a second of intro (a tick is a millisecond),
// which changes pan, program, bend and bend range and holds a note and the
// pedal over its end; what follows the loop's end is never reached.
korvel::Song LoopedSong() {
    Track t;
    t.Program(0, 0, 5).Controller(0, 0, 7, 90).Controller(0, 0, 101, 0).Controller(0, 0, 100, 0);
    t.Controller(0, 0, 6, 12).NoteOn(0, 0, 60, 100);
    t.Meta(500, 0x06, {'l', 'o', 'o', 'p', 'S', 't', 'a', 'r', 't'}).NoteOff(0, 0, 60).NoteOn(0, 0, 62, 100);
    t.Controller(100, 0, 10, 20).Program(0, 0, 30).Event(0, {0xE0, 0, 0x50}).Controller(0, 0, 6, 2);
    t.Controller(0, 0, 64, 127).NoteOff(200, 0, 62).NoteOn(0, 0, 64, 100);
    t.Meta(700, 0x06, {'l', 'o', 'o', 'p', 'E', 'n', 'd'}).NoteOn(0, 0, 70, 100).NoteOff(100, 0, 70).End(400);
    return Decode(midiw::File(0, 500, {t}));
}

TEST(Sequencer, ALoopPlaysTwiceAlikeThenFadesAndPutsTheVolumeBack) {
    korvel::Song song = LoopedSong();
    const Bytes loopFirst = {0x80, 60, 0x40}, pastLoop = {0x90, 70, 100};
    // The last run is stopped in the fade.
    // The last two runs fade by the output's own gain.
    const std::tuple<korvel::LoopPlay, int64_t, bool> runs[] = {{korvel::LoopPlay::TwoPassesAndFade, INT64_MAX, false},
                                                                {korvel::LoopPlay::Off, INT64_MAX, false},
                                                                {korvel::LoopPlay::Endless, 20'000'000, false},
                                                                {korvel::LoopPlay::TwoPassesAndFade, 5'000'000, false},
                                                                {korvel::LoopPlay::TwoPassesAndFade, INT64_MAX, true},
                                                                {korvel::LoopPlay::TwoPassesAndFade, 5'000'000, true}};
    for (auto [mode, stopAt, byGain] : runs) {
        SCOPED_TRACE(static_cast<int>(mode) * 10 + byGain);
        FakeSystem system;
        system.stopAt = stopAt;
        korvel::Waiter waiter(system, {true, 0});
        RecordingOutput output(system);
        output.gain = byGain;
        PlayOutcome outcome = korvel::PlaySong(song, waiter, system, output, mode);

        ChannelLook look;
        korvel::NoteTracker notes;
        std::vector<ChannelLook> atPass;
        std::vector<Sent> passes[2];
        int lowestVolume = 127;
        for (const Sent &s : output.sent) {
            if (s.message == pastLoop) {
                EXPECT_EQ(mode, korvel::LoopPlay::Off) << "played past the loop's end";
            }
            uint8_t kind = s.message[0] & 0xF0;
            if (kind >= 0x80 && kind <= 0xE0) {
                EXPECT_EQ(s.message.size(), kind == 0xC0 || kind == 0xD0 ? 2u : 3u);
            }
            if (s.message == loopFirst && !s.added) {
                if (!atPass.empty()) {
                    EXPECT_EQ(notes.Sounding(), 0) << "a note rings over the jump at " << s.at;
                }
                atPass.push_back(look);
                atPass.back().controllers[7] = 0;  // the fade's to change
            }
            if (!s.added && atPass.size() >= 1 && atPass.size() <= 2) passes[atPass.size() - 1].push_back(s);
            if (s.message[0] == 0xB0 && s.message[1] == 7) lowestVolume = std::min<int>(lowestVolume, s.message[2]);
            look.Follow(s.message);
            notes.Observe(s.message.data(), s.message.size());
        }
        for (size_t i = 1; i < atPass.size(); ++i) EXPECT_EQ(atPass[i], atPass[0]) << "pass " << i + 1;
        if (mode == korvel::LoopPlay::Off) {
            EXPECT_EQ(outcome, PlayOutcome::Ended);
            EXPECT_EQ(output.sent.back().at, 2'000'000);
            EXPECT_EQ(atPass.size(), 1u);
            continue;
        }
        ASSERT_EQ(passes[1].size(), passes[0].size());
        for (size_t i = 0; i < passes[0].size(); ++i) {
            EXPECT_EQ(passes[1][i].message, passes[0][i].message) << i;
            EXPECT_EQ(passes[1][i].at, passes[0][i].at + 1'000'000) << i;
        }
        if (mode == korvel::LoopPlay::Endless) {
            EXPECT_EQ(outcome, PlayOutcome::Stopped);
            EXPECT_EQ(atPass.size(), 20u);
            EXPECT_EQ(lowestVolume, 90);
            continue;
        }
        // Intro, two passes, and the fade while the loop goes on.
        EXPECT_EQ(outcome, stopAt == INT64_MAX ? PlayOutcome::Ended : PlayOutcome::Stopped);
        if (stopAt == INT64_MAX) {
            EXPECT_EQ(output.sent.back().at, 500'000 + 2 * 1'000'000 + korvel::kLoopFadeUs);
        }
        if (byGain) {
            // The channels keep their own volume; the gain falls, and is put back.
            EXPECT_EQ(lowestVolume, 90);
            ASSERT_GE(output.gains.size(), 3u);
            EXPECT_TRUE(std::is_sorted(output.gains.rbegin() + 1, output.gains.rend()));
            EXPECT_LT(output.gains[output.gains.size() - 2], stopAt == INT64_MAX ? 0.001 : 0.9);
            EXPECT_EQ(output.gains.back(), 1.0);
        } else {
            EXPECT_TRUE(output.gains.empty());
            EXPECT_EQ(lowestVolume, stopAt == INT64_MAX ? 0 : lowestVolume);
            EXPECT_LT(lowestVolume, 90);
        }
        EXPECT_EQ(look.controllers[7], 90) << "the channel's own volume is put back";
        EXPECT_EQ(notes.Sounding(), 0);
    }
}

// Marks that make no loop, or one other than they seem to; none may hang
// a song that plays its loop for ever.
TEST(Sequencer, LoopMarksOutOfOrderRepeatedOrEmptyGiveADefinedLoop) {
    auto marker = [](const char *text) { return Bytes(text, text + std::strlen(text)); };
    struct Case {
        const char *what;
        std::vector<Track> tracks;
        int64_t startMs, endMs;  // 0, 0: no loop
    };
    Track endFirst, noEnd, repeated, zero, lastTick, unknownWord, conductor, notes;
    endFirst.Meta(100, 6, marker("loopEnd")).NoteOn(0, 0, 60, 1).Meta(300, 6, marker("LOOPSTART")).NoteOff(600, 0, 60).End();
    noEnd.NoteOn(0, 0, 60, 1).Controller(200, 0, 111, 0).NoteOff(800, 0, 60).End();
    repeated.Meta(100, 6, marker("loopstart")).NoteOn(0, 0, 60, 1).Controller(200, 0, 111, 0);
    repeated.Meta(300, 6, marker("LoopEnd")).Meta(200, 6, marker("loopEnd")).NoteOff(200, 0, 60).End();
    zero.NoteOn(0, 0, 60, 1).Meta(500, 6, marker("loopStart")).Meta(0, 6, marker("loopEnd")).NoteOff(500, 0, 60).End();
    lastTick.NoteOn(0, 0, 60, 1).NoteOff(1000, 0, 60).Controller(0, 0, 111, 0).End();
    unknownWord.NoteOn(0, 0, 60, 1).Meta(100, 6, marker("loop start")).Meta(0, 1, marker("loopStart")).NoteOff(900, 0, 60).End();
    conductor.Meta(300, 6, marker("loopStart")).Meta(400, 6, marker("loopEnd")).End();
    notes.NoteOn(0, 1, 60, 1).NoteOff(1000, 1, 60).End();
    const Case cases[] = {
        {"an end before the start is passed over", {endFirst}, 400, 1000},
        {"controller 111 with no end loops to the song's end", {noEnd}, 200, 1000},
        {"the first start and the first end after it count", {repeated}, 100, 600},
        {"a loop of no length is none", {zero}, 0, 0},
        {"controller 111 at the end is none", {lastTick}, 0, 0},
        {"only the marker's own words count", {unknownWord}, 0, 0},
        {"marks of another track", {conductor, notes}, 300, 700},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        korvel::Song song = Decode(midiw::File(c.tracks.size() > 1 ? 1 : 0, 500, c.tracks));
        EXPECT_EQ(song.loop.present(), c.endMs != 0);
        EXPECT_EQ(song.loop.startUs, c.startMs * 1000);
        EXPECT_EQ(song.loop.endUs, c.endMs * 1000);
        FakeSystem system;
        system.stopAt = 60'000'000;
        korvel::Waiter waiter(system, {true, 0});
        RecordingOutput output(system);
        EXPECT_EQ(korvel::PlaySong(song, waiter, system, output, korvel::LoopPlay::Endless),
                  song.loop.present() ? PlayOutcome::Stopped : PlayOutcome::Ended);
    }
}

TEST(Sequencer, NoteTrackerFollowsWhatSounds) {
    korvel::NoteTracker notes;
    const uint8_t on[] = {0x91, 60, 90}, again[] = {0x91, 60, 80}, zero[] = {0x91, 60, 0}, off[] = {0x81, 60, 64},
                  other[] = {0x92, 61, 1}, allOff[] = {0xB2, 123, 0}, pressure[] = {0xA1, 60, 5};
    EXPECT_TRUE(notes.Observe(on, 3));
    EXPECT_TRUE(notes.Observe(again, 3));  // a key struck twice needs two releases
    EXPECT_FALSE(notes.Observe(pressure, 3));
    EXPECT_FALSE(notes.Observe(zero, 3));
    EXPECT_TRUE(notes.IsSounding(1, 60));
    EXPECT_FALSE(notes.Observe(off, 3));
    EXPECT_FALSE(notes.Observe(off, 3));  // more releases than strikes do not go negative
    EXPECT_FALSE(notes.IsSounding(1, 60));
    EXPECT_TRUE(notes.Observe(other, 3));
    EXPECT_EQ(notes.Sounding(), 1);
    notes.Observe(allOff, 3);
    EXPECT_EQ(notes.Sounding(), 0);
}

TEST(Waiter, OnTimersLikeThisMachinesItSendsOnTimeWithLittleSpinning) {
    // Coarse waits of whole milliseconds wake 80-250 us late, fine sleeps
    // 60-110 us late: what the waits of this machine do.
    korvel::Song song = BusySong();
    FakeSystem system;
    uint64_t noise = 12345;
    auto jitter = [&noise](int64_t base, int64_t spread) {
        noise = noise * 6364136223846793005ull + 1442695040888963407ull;
        return base + static_cast<int64_t>((noise >> 33) % static_cast<uint64_t>(spread));
    };
    system.coarseLate = [&](int64_t) { return jitter(80, 170); };
    system.fineLate = [&](int64_t) { return jitter(60, 50); };
    korvel::Waiter waiter(system, {true, 150});  // a poor first guess
    RecordingOutput output(system);

    EXPECT_EQ(korvel::PlaySong(song, waiter, system, output), PlayOutcome::Ended);

    std::vector<int64_t> late = Lateness(song, output.sent);
    EXPECT_GE(*std::min_element(late.begin(), late.end()), 0);  // never early
    EXPECT_LT(*std::max_element(late.begin(), late.end()), 200);
    EXPECT_TRUE(waiter.fineSleepUsable());
    EXPECT_LT(waiter.spunUs(), static_cast<int64_t>(song.events.size()) * 50);
    EXPECT_GT(system.coarseWaits, 0);
}

TEST(Waiter, ABusyMachinesOccasionalLongDelaysChangeNothing) {
    // One wake in four delayed by milliseconds, as when other programs hog
    // the processors: spinning would not help, so the waiter must neither
    // give up its fine sleeps nor start aiming early.
    korvel::Song song = BusySong();
    FakeSystem system;
    int coarseWakes = 0, fineWakes = 0;
    system.coarseLate = [&coarseWakes](int64_t) { return ++coarseWakes % 4 == 0 ? 4000 : 100; };
    system.fineLate = [&fineWakes](int64_t) { return ++fineWakes % 4 == 0 ? 3000 : 70; };
    korvel::Waiter waiter(system, {true, 70});
    RecordingOutput output(system);

    korvel::PlaySong(song, waiter, system, output);

    EXPECT_TRUE(waiter.fineSleepUsable());
    EXPECT_LT(waiter.spunUs(), static_cast<int64_t>(song.events.size()) * 10);
    std::vector<int64_t> late = Lateness(song, output.sent);
    EXPECT_GE(*std::min_element(late.begin(), late.end()), 0);
}

TEST(Waiter, GivesUpFineSleepsThatAreNoBetterThanTheTimer) {
    // A system whose short sleeps last a whole millisecond more than asked.
    korvel::Song song = BusySong();
    FakeSystem system;
    system.coarseLate = [](int64_t) { return 300; };
    system.fineLate = [](int64_t) { return 1000; };
    korvel::Waiter waiter(system, {true, 100});
    RecordingOutput output(system);

    korvel::PlaySong(song, waiter, system, output);

    EXPECT_FALSE(waiter.fineSleepUsable());
    // Once given up, the timer is aimed early and the rest is spun, but only
    // for 1/2000 of the time (and 2 ms at the start): spinning most of a
    // millisecond at every moment would take a tenth of the processor.
    // Past the budget the timer alone comes late by its own lateness.
    EXPECT_LE(waiter.spunUs(), 2000 + system.now / 2000 + 50);
    std::vector<int64_t> late = Lateness(song, output.sent);
    std::vector<int64_t> tail(late.end() - 200, late.end());
    EXPECT_GE(*std::min_element(tail.begin(), tail.end()), 0);
    EXPECT_LE(*std::max_element(tail.begin(), tail.end()), 300);
    EXPECT_GT(std::count(tail.begin(), tail.end(), 0), 10) << "spun to the microsecond while the budget lasts";
}

}  // namespace sequencer_test
