#include "korvel/song/smf_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "korvel/song/song_title.h"

namespace korvel {
namespace {

constexpr uint32_t kDefaultTempo = 500000;  // 120 beats per minute
// Times saturate here (about 285 years) instead of overflowing on a file
// whose deltas and tempos are all at their maximum.
constexpr int64_t kMaxTimeUs = int64_t(1) << 53;

struct Span {
    const uint8_t *data = nullptr;
    size_t size = 0;
};

uint32_t BigEndian32(const uint8_t *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint32_t LittleEndian32(const uint8_t *p) {
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}
bool IdIs(const uint8_t *p, const char *id) { return std::memcmp(p, id, 4) == 0; }

// An RMID file carries the SMF in its "data" chunk; anything else is taken
// as the SMF itself.
SmfError Unwrap(const uint8_t *data, size_t size, Span &smf) {
    if (size >= 4 && IdIs(data, "RIFF")) {
        if (size < 12 || !IdIs(data + 8, "RMID")) return SmfError::NotMidi;
        size_t pos = 12;
        while (size - pos >= 8) {
            size_t length = LittleEndian32(data + pos + 4);
            size_t available = size - pos - 8;
            if (IdIs(data + pos, "data")) {
                smf.data = data + pos + 8;
                smf.size = std::min(length, available);
                return SmfError::None;
            }
            if (length >= available) break;
            pos += 8 + length + (length & 1);  // RIFF chunks are padded to even sizes
        }
        return SmfError::NotMidi;
    }
    smf.data = data;
    smf.size = size;
    return SmfError::None;
}

// Ticks to microseconds.  A tick lasts num / den microseconds: tempo /
// division for metrical time, 1e6 / (frames per second * ticks per frame)
// for SMPTE.  The remainder is carried, so the sum never drifts.
struct Timebase {
    bool metrical = true;
    uint64_t num = kDefaultTempo;
    uint64_t den = 1;
};

class TickClock {
public:
    TickClock(const Timebase &base, int64_t startUs) : base_(base), us_(startUs) {}

    void Advance(uint64_t ticks) {
        unsigned __int128 total = rem_ + static_cast<unsigned __int128>(base_.num) * ticks;
        unsigned __int128 whole = total / base_.den;
        rem_ = static_cast<uint64_t>(total % base_.den);
        if (whole >= static_cast<unsigned __int128>(kMaxTimeUs - us_))
            us_ = kMaxTimeUs;
        else
            us_ += static_cast<int64_t>(whole);
    }
    // SMPTE time has no tempo; the remainder stays valid because den is fixed.
    void SetTempo(uint32_t tempo) {
        if (base_.metrical) base_.num = tempo;
    }
    int64_t Us() const { return us_; }

private:
    Timebase base_;
    int64_t us_;
    uint64_t rem_ = 0;
};

struct Header {
    int format = 0;
    Timebase timebase;
    size_t firstChunk = 0;
};

SmfError ParseHeader(const Span &smf, Header &header) {
    if (smf.size < 14 || !IdIs(smf.data, "MThd")) return SmfError::NotMidi;
    uint32_t length = BigEndian32(smf.data + 4);
    if (length < 6) return SmfError::NotMidi;
    header.format = (smf.data[8] << 8) | smf.data[9];
    uint16_t division = static_cast<uint16_t>((smf.data[12] << 8) | smf.data[13]);
    if (division & 0x8000) {
        int framesPerSecond = -static_cast<int8_t>(division >> 8);
        int ticksPerFrame = division & 0xFF;
        if (framesPerSecond <= 0 || ticksPerFrame == 0) return SmfError::BadDivision;
        header.timebase.metrical = false;
        if (framesPerSecond == 29) {  // 29.97 drop frame: 30000/1001 frames per second
            header.timebase.num = 1001000000ull;
            header.timebase.den = 30000ull * ticksPerFrame;
        } else {
            header.timebase.num = 1000000ull;
            header.timebase.den = static_cast<uint64_t>(framesPerSecond) * ticksPerFrame;
        }
    } else {
        if (division == 0) return SmfError::BadDivision;
        header.timebase.metrical = true;
        header.timebase.num = kDefaultTempo;
        header.timebase.den = division;
    }
    header.firstChunk = 8 + std::min<size_t>(length, smf.size - 8);
    return SmfError::None;
}

// One decoded track event before timing: a message in the byte pool, a
// tempo change (offset holding microseconds per quarter note), or a loop mark.
enum class RawKind : uint8_t { Message, Tempo, LoopStart, LoopEnd };

struct RawEvent {
    uint64_t tick;
    uint32_t offset;
    uint32_t size;
    RawKind kind = RawKind::Message;
};

// A loop mark with its time, in the order the song plays it.
struct LoopPoint {
    int64_t timeUs;
    RawKind kind;
};

// Controller 111 points the loop start in much game music.
constexpr uint8_t kLoopStartController = 111;
// A stretch shorter than this is not looped: it would only stutter, and at
// zero length it would never end.
constexpr int64_t kShortestLoopUs = 100000;

bool TextIs(const uint8_t *p, uint32_t length, const char *word) {
    size_t n = std::strlen(word);
    if (length != n) return false;
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = p[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
        if (c != static_cast<uint8_t>(word[i])) return false;
    }
    return true;
}

enum class NumberRead { Ok, Truncated, TooLong };

NumberRead ReadVarLen(const uint8_t *&p, const uint8_t *end, uint32_t &value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (p == end) return NumberRead::Truncated;
        uint8_t b = *p++;
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) return NumberRead::Ok;
    }
    return NumberRead::TooLong;
}

int DataBytesOf(uint8_t status) {
    uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// One complete channel message, as an escape packet may carry.
bool IsChannelMessage(const uint8_t *p, size_t size) {
    if (size < 2 || p[0] < 0x80 || p[0] > 0xEF || size != static_cast<size_t>(1 + DataBytesOf(p[0]))) return false;
    for (size_t i = 1; i < size; ++i)
        if (p[i] & 0x80) return false;
    return true;
}

class TrackDecoder {
public:
    TrackDecoder(Song &song, std::vector<RawEvent> &out) : song_(song), out_(out) {}

    // Decodes one track chunk's bytes.  Returns false only for a number that
    // makes the whole file suspect (longer than 4 bytes); damage otherwise
    // ends the track after its last complete event.
    bool Decode(const uint8_t *p, const uint8_t *end, uint64_t &endTick) {
        uint8_t running = 0;
        endTick = 0;  // also the tick the next delta counts from
        while (p < end) {
            uint32_t delta;
            NumberRead r = ReadVarLen(p, end, delta);
            if (r == NumberRead::TooLong) return false;
            if (r == NumberRead::Truncated || p == end) break;
            uint64_t at = endTick + delta;
            Step step = *p == 0xFF                 ? MetaEvent(p, end, at)
                        : *p == 0xF0 || *p == 0xF7 ? SysexEvent(p, end, at)
                                                   : ChannelEvent(p, end, at, running);
            if (step == Step::Suspect) return false;
            if (step == Step::Damaged) break;
            endTick = at;
            if (step == Step::Last) break;
        }
        return true;
    }

private:
    // What one event leaves of the track: go on after it, end it with this
    // event (End of Track: the rest of the chunk is not read), end it before
    // this event (damage), or give up on the whole file.
    enum class Step { Next, Last, Damaged, Suspect };

    // The length of a meta or sysex event, checked against what is left.
    static Step ReadLength(const uint8_t *&p, const uint8_t *end, uint32_t &length) {
        NumberRead r = ReadVarLen(p, end, length);
        if (r == NumberRead::TooLong) return Step::Suspect;
        if (r == NumberRead::Truncated || length > static_cast<size_t>(end - p)) return Step::Damaged;
        return Step::Next;
    }

    // A meta event: tempo changes are kept, the others only take their time.
    Step MetaEvent(const uint8_t *&p, const uint8_t *end, uint64_t at) {
        if (end - p < 2) return Step::Damaged;
        uint8_t type = p[1];
        p += 2;
        uint32_t length;
        Step read = ReadLength(p, end, length);
        if (read != Step::Next) return read;
        if (type == 0x2F) return Step::Last;
        if (type == 0x51 && length >= 3) {
            uint32_t tempo = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
            if (tempo != 0) out_.push_back({at, tempo, 0, RawKind::Tempo});
        }
        if (type == 0x06) {  // a marker
            if (TextIs(p, length, "loopstart")) out_.push_back({at, 0, 0, RawKind::LoopStart});
            if (TextIs(p, length, "loopend")) out_.push_back({at, 0, 0, RawKind::LoopEnd});
        }
        p += length;
        return Step::Next;
    }

    Step SysexEvent(const uint8_t *&p, const uint8_t *end, uint64_t at) {
        uint8_t first = *p++;
        uint32_t length;
        Step read = ReadLength(p, end, length);
        if (read != Step::Next) return read;
        // F0 starts a sysex whose F7 is part of the stored bytes; an
        // F7 packet is sent as it stands (continuations, escapes).
        const uint8_t lead = 0xF0;
        if (first == 0xF0) {
            Append(at, &lead, 1, p, length);
        } else if (length > 0) {
            Append(at, nullptr, 0, p, length);
            if (IsChannelMessage(p, length)) UseChannel(p[0]);  // silenced like any other
        }
        p += length;
        return Step::Next;
    }

    // A channel message, with its own status or running on the last one.
    Step ChannelEvent(const uint8_t *&p, const uint8_t *end, uint64_t at, uint8_t &running) {
        uint8_t first = *p;
        uint8_t status;
        if (first & 0x80) {
            if (first > 0xEF) return Step::Damaged;  // system messages have no place in a track
            status = first;
            ++p;
        } else {
            if (!running) return Step::Damaged;  // data without a status to run on
            status = running;
        }
        int count = DataBytesOf(status);
        if (end - p < count) return Step::Damaged;
        if ((p[0] & 0x80) || (count == 2 && (p[1] & 0x80))) return Step::Damaged;
        running = status;
        Append(at, &status, 1, p, static_cast<uint32_t>(count));
        UseChannel(status);
        if ((status & 0xF0) == 0xB0 && p[0] == kLoopStartController) out_.push_back({at, 0, 0, RawKind::LoopStart});
        p += count;
        return Step::Next;
    }

    void UseChannel(uint8_t status) {
        song_.channelsUsed = static_cast<uint16_t>(song_.channelsUsed | (1u << (status & 0x0F)));
    }

    void Append(uint64_t tick, const uint8_t *head, uint32_t headSize, const uint8_t *body, uint32_t bodySize) {
        uint32_t offset = static_cast<uint32_t>(song_.bytes.size());
        song_.bytes.insert(song_.bytes.end(), head, head + headSize);
        song_.bytes.insert(song_.bytes.end(), body, body + bodySize);
        out_.push_back({tick, offset, headSize + bodySize});
    }

    Song &song_;
    std::vector<RawEvent> &out_;
};

// Gives the events their times on one tempo map that starts at startUs;
// returns the time of endTick.
int64_t AppendTimed(const std::vector<RawEvent> &raw, uint64_t endTick, const Timebase &base, int64_t startUs,
                    Song &song, std::vector<LoopPoint> &points) {
    TickClock clock(base, startUs);
    uint64_t tick = 0;
    for (const RawEvent &e : raw) {
        clock.Advance(e.tick - tick);
        tick = e.tick;
        switch (e.kind) {
        case RawKind::Message: song.events.push_back({clock.Us(), e.offset, e.size}); break;
        case RawKind::Tempo: clock.SetTempo(e.offset); break;
        case RawKind::LoopStart:
        case RawKind::LoopEnd: points.push_back({clock.Us(), e.kind}); break;
        }
    }
    clock.Advance(endTick - tick);
    return clock.Us();
}

// The first loop start counts, and the first end after it; ends before
// the start, a second start and later ends are passed over.  Without an
// end the loop runs to the song's end.  An end at the start's own time
// leaves no loop, as does a stretch too short.  Events at the start's time belong
// to the loop, those at an end mark's time to what follows it.
SongLoop FindLoop(const std::vector<LoopPoint> &points, const Song &song) {
    SongLoop loop;
    auto start = std::find_if(points.begin(), points.end(), [](const LoopPoint &m) { return m.kind == RawKind::LoopStart; });
    if (start == points.end()) return loop;
    auto end = std::find_if(start, points.end(),
                            [](const LoopPoint &m) { return m.kind == RawKind::LoopEnd; });
    int64_t endUs = end == points.end() ? song.endUs : std::min(end->timeUs, song.endUs);
    if (endUs - start->timeUs < kShortestLoopUs) return loop;
    auto firstAt = [&](int64_t us) {
        return static_cast<size_t>(
            std::lower_bound(song.events.begin(), song.events.end(), us,
                             [](const SongEvent &e, int64_t t) { return e.timeUs < t; }) -
            song.events.begin());
    };
    loop.startUs = start->timeUs;
    loop.endUs = endUs;
    loop.startIndex = firstAt(loop.startUs);
    loop.endIndex = end == points.end() ? song.events.size() : firstAt(endUs);
    return loop;
}

bool PrintableId(const uint8_t *p) {
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    return true;
}

// Where the next chunk header after junk could start, or size.
size_t FindTrackId(const Span &smf, size_t from) {
    for (size_t i = from; i + 4 <= smf.size; ++i)
        if (IdIs(smf.data + i, "MTrk")) return i;
    return smf.size;
}

SmfError Prepare(const uint8_t *data, size_t size, Span &smf, Header &header) {
    if (size == 0 || !data) return SmfError::Empty;
    if (size > kMaxSongFileBytes) return SmfError::TooLarge;
    SmfError error = Unwrap(data, size, smf);
    if (error != SmfError::None) return error;
    return ParseHeader(smf, header);
}

}  // namespace

SmfError CheckSmfHeader(const uint8_t *data, size_t size) {
    Span smf;
    Header header;
    return Prepare(data, size, smf, header);
}

SmfError ReadSmf(const uint8_t *data, size_t size, Song &song) {
    song = Song();
    Span smf;
    Header header;
    SmfError error = Prepare(data, size, smf, header);
    if (error != SmfError::None) return error;

    // Every MTrk chunk is read, whatever the header's count says: damaged
    // files often get it wrong, and a format 0 file with extra tracks merges.
    std::vector<RawEvent> merged;      // formats 0 and 1
    std::vector<RawEvent> sequential;  // format 2, one track at a time
    TrackDecoder decoder(song, header.format == 2 ? sequential : merged);
    uint64_t mergedEnd = 0;
    int64_t sequenceUs = 0;
    std::vector<LoopPoint> points;
    size_t tracksWithEvents = 0;
    bool firstTrackRead = false;  // the title is the first track's
    size_t pos = header.firstChunk;
    while (smf.size - pos >= 8) {
        const uint8_t *chunk = smf.data + pos;
        size_t length = BigEndian32(chunk + 4);
        size_t available = smf.size - pos - 8;
        if (IdIs(chunk, "MTrk")) {
            size_t trackSize = std::min(length, available);  // a track that runs past the file is cut
            if (!firstTrackRead) song.title = ReadTrackTitle(chunk + 8, trackSize);
            firstTrackRead = true;
            size_t before = merged.size();
            uint64_t endTick;
            if (!decoder.Decode(chunk + 8, chunk + 8 + trackSize, endTick)) {
                song = Song();
                return SmfError::BadNumber;
            }
            if (header.format == 2) {
                sequenceUs = AppendTimed(sequential, endTick, header.timebase, sequenceUs, song, points);
                sequential.clear();
            } else {
                mergedEnd = std::max(mergedEnd, endTick);
                if (merged.size() != before) ++tracksWithEvents;
            }
            pos += 8 + trackSize;
        } else if (PrintableId(chunk) && length <= available) {
            pos += 8 + length;  // a chunk of another kind
        } else {
            pos = FindTrackId(smf, pos + 1);  // junk: resynchronise on the next track
        }
    }

    if (header.format == 2) {
        song.endUs = sequenceUs;
    } else {
        // Stable, so that events at one tick stay in track order.
        if (tracksWithEvents > 1)
            std::stable_sort(merged.begin(), merged.end(),
                             [](const RawEvent &a, const RawEvent &b) { return a.tick < b.tick; });
        song.endUs = AppendTimed(merged, mergedEnd, header.timebase, 0, song, points);
    }
    song.loop = FindLoop(points, song);
    if (song.events.empty()) {
        song = Song();
        return SmfError::NothingToPlay;
    }
    return SmfError::None;
}

}  // namespace korvel
