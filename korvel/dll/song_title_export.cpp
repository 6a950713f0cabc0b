// SongTitle: the song's own title, for the program's now-playing notice.
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/korvel.h"
#include "korvel/dll/playback_state.h"

int SongTitle(char *title, int size) {
    if (!title || size <= 0) return 0;
    title[0] = '\0';
    std::string text = korvel::ThePlayback().OpenedSongTitle();
    // The reader keeps whole characters; a buffer too small for all of it
    // gets none rather than half a character.
    if (text.empty() || text.size() >= static_cast<size_t>(size)) return 0;
    std::memcpy(title, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}
