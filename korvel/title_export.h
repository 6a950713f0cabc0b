// Where the title export finds the song: playback.cpp keeps it.
#ifndef TIVORN_KORVEL_TITLE_EXPORT_H
#define TIVORN_KORVEL_TITLE_EXPORT_H

#include <string>

namespace korvel {

// The title of the song last opened, once its tracks are read (by OpenSong
// reading at once, else by StartSong); empty without one.
std::string OpenedSongTitle();

}  // namespace korvel

#endif
