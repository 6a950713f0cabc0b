#include "korvel/song/smf_reader.h"
#include "korvel/song/song_title.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/midi_writer.h"

namespace {

using midiw::Track;

// The title ReadSmf finds in a format 1 file of these tracks, each given a note.
std::string TitleOf(std::vector<Track> tracks) {
    for (Track &t : tracks) t.NoteOn(0, 0, 60, 100).NoteOff(10, 0, 60).End();
    midiw::Bytes file = midiw::File(1, 96, tracks);
    korvel::Song song;
    EXPECT_EQ(korvel::ReadSmf(file.data(), file.size(), song), korvel::SmfError::None);
    return song.title;
}
Track Text(uint8_t type, const std::string &text) { return Track().Meta(0, type, midiw::Bytes(text.begin(), text.end())); }

TEST(SongTitle, TheFirstTracksNameOrItsTextBeforeTheFirstNote) {
    const std::string title = "\x96\xE9\x96\xBE\x82\xAF\x82\xCC\x89\xCC";  // 夜明けの歌
    EXPECT_EQ(TitleOf({Text(0x01, "comment").Name(0, title), Text(0x03, "Piano")}), title);
    EXPECT_EQ(TitleOf({Text(0x01, title).Meta(0, 0x01, {'x'})}), title);
    // Only the first track names the song, and text after a note is lyrics.
    EXPECT_EQ(TitleOf({Track(), Text(0x03, "Piano")}), "");
    EXPECT_EQ(TitleOf({Track().NoteOn(0, 0, 60, 100).Meta(0, 0x01, {'x'})}), "");
}

TEST(SongTitle, TextOfAnotherCodePageOrBrokenIsNoTitle) {
    EXPECT_EQ(TitleOf({Text(0x03, "M\xFCller")}), "");           // Latin-1
    EXPECT_EQ(TitleOf({Text(0x03, "Caf\xE9")}), "");             // a lead byte at the end
    EXPECT_EQ(TitleOf({Text(0x03, "\x96\xE9\x96")}), "");        // a broken character
    EXPECT_EQ(TitleOf({Text(0x03, "\xF0\x40")}), "");            // user-defined
    // An unusable name leaves the text before the first note.
    EXPECT_EQ(TitleOf({Text(0x03, "Caf\xE9").Meta(0, 0x01, {'O', 'K'})}), "OK");
}

TEST(SongTitle, ControlCharactersGoAndALongTitleIsCutBetweenCharacters) {
    EXPECT_EQ(TitleOf({Text(0x03, std::string(" Tivorn\r\n\tDemo\x7F", 15) + '\0')}), "Tivorn Demo");
    std::string tables;
    for (int i = 0; i < 200; ++i) tables += "\x95\x5C";  // 表, whose trail byte is a backslash
    std::string title = TitleOf({Text(0x03, "ab" + tables)});
    EXPECT_EQ(title, "ab" + tables.substr(0, korvel::kMaxSongTitleBytes - 3));
}

}  // namespace
