// The title a song file carries for itself.  Japanese MIDI files keep it,
// in Shift-JIS, as the name of the first track.  Plain C++: the bytes are
// the file's, so it reads only inside the track it is given.
#ifndef TIVORN_KORVEL_SONG_SONG_TITLE_H
#define TIVORN_KORVEL_SONG_SONG_TITLE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvel {

// A longer title is cut, at a character's boundary.
constexpr size_t kMaxSongTitleBytes = 255;

// The title in one track's event bytes (an MTrk chunk's body): its first
// track name (meta event 03), or failing that its first text event (01)
// before the first note.  The text is taken only when it is valid in code
// page 932, so that a title written in another code page never shows
// garbled; control characters are left out, a run of them between words as
// one space.  Empty when the track has no title that can be shown.
std::string ReadTrackTitle(const uint8_t *track, size_t size);

}  // namespace korvel

#endif
