// The synthesizer's SoundFont: its samples are the file's pages, the file is
// free while nothing plays, and a view that fails under the render thread
// turns into silence and a stop rather than a crash.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "korvel/synth_output/synth_output.h"
#include "testing/sf2_writer.h"
#include "testing/win_test_support.h"

namespace {

std::string WriteFont(const tt::ScratchFolder &folder, const std::string &file, const std::string &name) {
    sf2w::Font font = sf2w::Simple();
    font.name = name;
    return folder.WriteFile(file, font.Build());
}

bool Mapped(const void *at) {
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(at, &info, sizeof info) == sizeof info && info.Type == MEM_MAPPED;
}

TEST(SoundFontFile, SamplesAreAViewOfTheFileLetGoWhileNothingPlays) {
    tt::ScratchFolder folder;
    const std::string path = WriteFont(folder, "a.sf2", "First");
    korvel::SoundFontHolder holder;
    std::shared_ptr<const synth::SoundFont> font = holder.Load(path).font;
    ASSERT_TRUE(font);
    const std::vector<int16_t> written = sf2w::Simple().smpl;
    EXPECT_TRUE(Mapped(font->data.data()));
    ASSERT_TRUE(std::equal(written.begin(), written.end(), font->data.begin(), font->data.end()));

    // Closed and opened again, unchanged: the same records, mapped again.
    const synth::SoundFont *first = font.get();
    font.reset();
    holder.LetFileGo();
    font = holder.Load(path).font;
    ASSERT_TRUE(font && font.get() == first && Mapped(font->data.data()));

    // A file replaced while nothing plays is the one the next song plays.
    font.reset();
    holder.LetFileGo();
    const std::string other = WriteFont(folder, "b.sf2", "Second");
    ASSERT_TRUE(MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
    font = holder.Load(path).font;
    ASSERT_TRUE(font);
    EXPECT_EQ(font->name, "Second");
}

TEST(SoundFontFile, AViewThatFailsReadsAsSilenceAndIsMappedAgainNextTime) {
    tt::ScratchFolder folder;
    const std::string path = WriteFont(folder, "a.sf2", "First");
    korvel::SoundFontHolder holder;
    std::shared_ptr<const synth::SoundFont> font = holder.Load(path).font;
    ASSERT_TRUE(font && !font->data.Lost());
    // What the system raises when a page of the view cannot be brought in
    // (the drive gone); the render thread goes on.
    const ULONG_PTR fault[] = {0, reinterpret_cast<ULONG_PTR>(font->data.data() + 100),
                               static_cast<ULONG_PTR>(0xC000009DL)};
    RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, fault);
    EXPECT_TRUE(font->data.Lost());
    EXPECT_TRUE(std::all_of(font->data.begin(), font->data.end(), [](int16_t v) { return v == 0; }));

    font.reset();
    holder.LetFileGo();
    font = holder.Load(path).font;
    ASSERT_TRUE(font && !font->data.Lost() && Mapped(font->data.data()));
    EXPECT_NE(font->data.data()[1], 0);
}

}  // namespace
