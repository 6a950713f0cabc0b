// Standard MIDI File reader.  Plain C++ so that it also builds natively for
// sanitizers and fuzzing; it reads only inside the buffer it is given.
//
// What it accepts:
//   formats 0 and 1 (tracks merged by time, ties in track order) and 2
//   (tracks one after another); running status, kept across meta and sysex
//   events; F0 sysex (sent as F0 ... F7) and F7 escape packets (sent raw);
//   metrical and SMPTE division; the RIFF RMID wrapper; unknown chunks.
// Damage that leaves playable events plays what is complete: a missing End
// of Track, a track that runs past the file, a truncated last event, junk
// between chunks.  An undecodable byte ends its track there.
#ifndef TIVORN_KORVEL_SMF_READER_H
#define TIVORN_KORVEL_SMF_READER_H

#include <cstddef>
#include <cstdint>

#include "korvel/song/song.h"

namespace korvel {

// Larger files are refused before they are read.
constexpr size_t kMaxSongFileBytes = 16u * 1024u * 1024u;

enum class SmfError {
    None,
    Empty,          // no bytes at all
    TooLarge,       // over kMaxSongFileBytes
    NotMidi,        // no MThd header (after an RMID wrapper), or a short header
    BadDivision,    // division 0, or SMPTE with 0 frames or 0 ticks per frame
    BadNumber,      // a variable-length number longer than 4 bytes
    NothingToPlay,  // no track holds a single message to send
};

// Checks the header only (wrapper, MThd, division); the tracks are not read.
SmfError CheckSmfHeader(const uint8_t *data, size_t size);

// Decodes the whole file into song (replaced).  On error song is left empty.
SmfError ReadSmf(const uint8_t *data, size_t size, Song &song);

}  // namespace korvel

#endif
