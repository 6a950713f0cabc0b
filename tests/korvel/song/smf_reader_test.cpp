#include "korvel/song/smf_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "testing/midi_writer.h"

namespace {

using korvel::ReadSmf;
using korvel::SmfError;
using korvel::Song;
using midiw::Bytes;
using midiw::Track;

struct Sent {
    int64_t timeUs;
    Bytes message;
    bool operator==(const Sent &o) const { return timeUs == o.timeUs && message == o.message; }
};

std::ostream &operator<<(std::ostream &out, const Sent &s) {
    out << s.timeUs << ":";
    for (uint8_t b : s.message) out << ' ' << std::hex << int(b) << std::dec;
    return out;
}

std::vector<Sent> Messages(const Song &song) {
    std::vector<Sent> out;
    for (const korvel::SongEvent &e : song.events)
        out.push_back({e.timeUs, Bytes(song.Message(e), song.Message(e) + e.size)});
    return out;
}

std::vector<Sent> Play(const Bytes &file, Song *keep = nullptr) {
    Song song;
    EXPECT_EQ(ReadSmf(file.data(), file.size(), song), SmfError::None);
    if (keep) *keep = song;
    return Messages(song);
}

SmfError Refusal(const Bytes &file) {
    Song song;
    SmfError error = ReadSmf(file.data(), file.size(), song);
    EXPECT_TRUE(song.events.empty());
    return error;
}

TEST(SmfReader, MergesTracksByTimeWithTiesInTrackOrder) {
    Track conductor;
    conductor.Tempo(0, 500000).Program(0, 2, 5).NoteOn(480, 2, 60, 90).End(0);
    Track melody;
    melody.NoteOn(0, 0, 64, 100).NoteOn(240, 0, 65, 0).NoteOn(240, 1, 66, 1).End(480);
    Song song;
    std::vector<Sent> sent = Play(midiw::File(1, 480, {conductor, melody}), &song);
    std::vector<Sent> expected = {{0, {0xC2, 5}},
                                  {0, {0x90, 64, 100}},
                                  {250000, {0x90, 65, 0}},  // velocity 0 stays a note-on
                                  {500000, {0x92, 60, 90}},
                                  {500000, {0x91, 66, 1}}};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(song.endUs, 1000000);  // the later of the two End of Track events
    EXPECT_EQ(song.channelsUsed, 0x0007);

    // Format 0 with the same single track reads the same.
    Track only;
    only.NoteOn(0, 9, 36, 100).NoteOff(960, 9, 36).End();
    EXPECT_EQ(Play(midiw::File(0, 480, {only})),
              (std::vector<Sent>{{0, {0x99, 36, 100}}, {1000000, {0x89, 36, 0x40}}}));
}

TEST(SmfReader, Format2PlaysTracksOneAfterAnotherEachFromTheDefaultTempo) {
    Track first;
    first.Tempo(0, 250000).NoteOn(0, 0, 60, 100).End(480);
    Track second;
    second.NoteOn(0, 1, 62, 100).NoteOff(480, 1, 62).End();
    Song song;
    std::vector<Sent> sent = Play(midiw::File(2, 480, {first, second}), &song);
    EXPECT_EQ(sent, (std::vector<Sent>{{0, {0x90, 60, 100}}, {250000, {0x91, 62, 100}}, {750000, {0x81, 62, 0x40}}}));
    EXPECT_EQ(song.endUs, 750000);
}

TEST(SmfReader, TempoMapIsExactAndNeverDrifts) {
    // 100001 us per quarter over 3 ticks: every tick has a fractional length.
    Track t;
    t.NoteOn(3, 0, 60, 1);  // before any tempo event: 120 BPM
    t.Tempo(0, 100001);
    const int kEvents = 30000;
    for (int i = 0; i < kEvents; ++i) t.Event(1, {0xA0, 60, 1});
    t.Tempo(0, 16777215).Event(7, {0xA0, 60, 2}).End();
    std::vector<Sent> sent = Play(midiw::File(0, 3, {t}));
    ASSERT_EQ(sent.size(), static_cast<size_t>(kEvents + 2));
    EXPECT_EQ(sent[0].timeUs, 500000);
    for (int i : {1, 2, 3, 1000, kEvents})
        EXPECT_EQ(sent[i].timeUs, 500000 + int64_t(i) * 100001 / 3) << "event " << i;
    // Remainders carry across a tempo change too.
    int64_t exact = 500000 + (int64_t(kEvents) * 100001 * 1 + 7 * int64_t(16777215)) / 3;
    EXPECT_EQ(sent.back().timeUs, exact);
}

TEST(SmfReader, SmpteDivisionIgnoresTempo) {
    Track t;
    t.Tempo(0, 1000).NoteOn(1000, 0, 60, 1).End();
    // 25 frames of 40 ticks: one tick is a millisecond.
    EXPECT_EQ(Play(midiw::File(0, 0xE728, {t}))[0].timeUs, 1000000);
    // 29.97 frames (drop frame) of 100 ticks.
    Track u;
    u.NoteOn(3000, 0, 60, 1).End();
    EXPECT_EQ(Play(midiw::File(0, 0xE364, {u}))[0].timeUs, 1001000);
}

TEST(SmfReader, RunningStatusIsExpandedAndKeptAcrossMetaAndSysex) {
    Track t;
    t.NoteOn(0, 3, 60, 64).Raw({0, 62, 64});          // running status
    t.Name(0, "x").Raw({0, 64, 0});                     // across a meta event, velocity 0 kept
    t.Sysex(0, {0x41, 0xF7}).Raw({0, 65, 1});          // and across a sysex
    t.Program(0, 4, 7).Raw({0, 8}).End();               // one data byte
    std::vector<Sent> sent = Play(midiw::File(0, 96, {t}));
    std::vector<Bytes> messages;
    for (const Sent &s : sent) messages.push_back(s.message);
    EXPECT_EQ(messages, (std::vector<Bytes>{{0x93, 60, 64},
                                            {0x93, 62, 64},
                                            {0x93, 64, 0},
                                            {0xF0, 0x41, 0xF7},
                                            {0x93, 65, 1},
                                            {0xC4, 7},
                                            {0xC4, 8}}));
}

TEST(SmfReader, SysexIsSentWithItsF0AndEscapesAsTheyStand) {
    Track t;
    t.Sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
    t.Sysex(10, {0x43, 0x10, 0x4C}).Escape(10, {0x00, 0xF7});  // one sysex in two packets
    t.Escape(0, {0xF8}).Escape(0, {});                           // an escaped real-time byte; an empty packet
    t.Escape(0, {0x95, 60, 64}).End();                           // an escaped note, whose channel must be silenced
    Song song;
    std::vector<Sent> sent = Play(midiw::File(0, 96, {t}), &song);
    EXPECT_EQ(song.channelsUsed, 1 << 5);
    std::vector<Bytes> messages;
    for (const Sent &s : sent) messages.push_back(s.message);
    EXPECT_EQ(messages, (std::vector<Bytes>{{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                                            {0xF0, 0x43, 0x10, 0x4C},
                                            {0x00, 0xF7},
                                            {0xF8},
                                            {0x95, 60, 64}}));
}

TEST(SmfReader, WrappersAndForeignChunksAreLookedThrough) {
    Track t;
    t.NoteOn(0, 0, 60, 1).NoteOff(96, 0, 60).End();
    Bytes smf = midiw::File(0, 96, {t});
    std::vector<Sent> plain = Play(smf);
    EXPECT_EQ(Play(midiw::Rmid(smf)), plain);

    Bytes withForeign = midiw::Header(1, 2, 96);
    midiw::Append(withForeign, midiw::Chunk("XFIH", {1, 2, 3}));
    midiw::Append(withForeign, midiw::Chunk("MTrk", t.data));
    EXPECT_EQ(Play(withForeign), plain);

    Bytes wave = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    EXPECT_EQ(Refusal(wave), SmfError::NotMidi);
}

TEST(SmfReader, DamagedFilesPlayWhatIsComplete) {
    const std::vector<Sent> oneNote = {{0, {0x90, 60, 100}}};
    Song song;

    Track noEnd;
    noEnd.NoteOn(0, 0, 60, 100).Name(96, "last");
    EXPECT_EQ(Play(midiw::File(0, 96, {noEnd}), &song), oneNote);
    EXPECT_EQ(song.endUs, 500000);  // the last complete event stands for the missing End of Track

    Track cut;
    cut.NoteOn(0, 0, 60, 100).Raw({0x10, 0x80, 60});  // the file ends inside the last event
    Bytes runsPast = midiw::Header(0, 1, 96);
    midiw::Append(runsPast, midiw::Chunk("MTrk", cut.data, 1000));  // and the track claims more than there is
    EXPECT_EQ(Play(runsPast), oneNote);

    Track first, second;
    first.NoteOn(0, 0, 60, 100).End();
    second.NoteOn(96, 1, 61, 100).End();
    Bytes junk = midiw::Header(1, 2, 96);
    midiw::Append(junk, midiw::Chunk("MTrk", first.data));
    midiw::Append(junk, {0, 0, 0xFF, 0x13, 'M', 'T', 'r'});
    midiw::Append(junk, midiw::Chunk("MTrk", second.data));
    midiw::Append(junk, {0, 0, 0});
    EXPECT_EQ(Play(junk), (std::vector<Sent>{{0, {0x90, 60, 100}}, {500000, {0x91, 61, 100}}}));

    // A byte that cannot start an event ends its track there.
    for (uint8_t bad : {uint8_t(0xF1), uint8_t(0xF8), uint8_t(0xFE)}) {
        Track broken;
        broken.NoteOn(0, 0, 60, 100).Raw({0, bad, 1, 2}).NoteOn(0, 0, 61, 100).End();
        EXPECT_EQ(Play(midiw::File(0, 96, {broken})), oneNote) << int(bad);
    }
    Track noStatus;
    noStatus.Raw({0, 60, 100}).NoteOn(0, 0, 61, 1).End();
    EXPECT_EQ(Refusal(midiw::File(0, 96, {noStatus})), SmfError::NothingToPlay);
    Track statusInData;
    statusInData.NoteOn(0, 0, 60, 100).Raw({0, 0x90, 61, 0x90}).End();
    EXPECT_EQ(Play(midiw::File(0, 96, {statusInData})), oneNote);
}

TEST(SmfReader, RefusesWhatCannotBePlayed) {
    Track fine;
    fine.NoteOn(0, 0, 60, 100).End();
    Track longNumber;
    longNumber.NoteOn(0, 0, 60, 100).Raw({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 0}).End();

    EXPECT_EQ(Refusal(midiw::File(0, 96, {longNumber})), SmfError::BadNumber);
    EXPECT_EQ(Refusal(midiw::File(0, 0, {fine})), SmfError::BadDivision);
    EXPECT_EQ(Refusal(midiw::File(0, 0xE700, {fine})), SmfError::BadDivision);  // SMPTE, 0 ticks per frame
    EXPECT_EQ(Refusal({}), SmfError::Empty);
    std::string text = "MIDI? no, just text";
    EXPECT_EQ(Refusal(Bytes(text.begin(), text.end())), SmfError::NotMidi);
    Bytes shortHeader = midiw::File(0, 96, {fine});
    shortHeader[7] = 4;  // MThd of 4 bytes
    EXPECT_EQ(Refusal(shortHeader), SmfError::NotMidi);
    EXPECT_EQ(Refusal(midiw::File(1, 96, {})), SmfError::NothingToPlay);

    Bytes huge = midiw::File(0, 96, {fine});
    huge.resize(korvel::kMaxSongFileBytes + 1);
    EXPECT_EQ(Refusal(huge), SmfError::TooLarge);
    huge.resize(korvel::kMaxSongFileBytes);  // exactly the limit is read (the rest is junk)
    EXPECT_EQ(Play(huge).size(), 1u);

    // The header check alone refuses the header's faults but not the tracks'.
    Bytes badTrack = midiw::File(0, 96, {longNumber});
    EXPECT_EQ(korvel::CheckSmfHeader(badTrack.data(), badTrack.size()), SmfError::None);
    Bytes noDivision = midiw::File(0, 0, {fine});
    EXPECT_EQ(korvel::CheckSmfHeader(noDivision.data(), noDivision.size()), SmfError::BadDivision);
    EXPECT_EQ(korvel::CheckSmfHeader(nullptr, 0), SmfError::Empty);
}

}  // namespace
