// Literals are Shift-JIS here.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "utils/ansi_text.h"
#include "utils/code_page.h"

TEST(Separators, LeadBytesAreThoseOfTheSystemCodePage) {
    ASSERT_EQ(GetACP(), 932u);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(ansi::IsLeadByte(static_cast<unsigned char>(b)), IsDBCSLeadByteEx(932, static_cast<BYTE>(b)) != 0)
            << b;
}

TEST(CodePage, SpellsOnlyWhatReadsBackAsItself) {
    std::string spelt;
    EXPECT_TRUE(codepage::Spell(L"\u30bd\u8868\uff5e.mid", &spelt));
    EXPECT_EQ(spelt, "ソ表～.mid");
    // Look-alikes ("e", "～") and characters with no spelling at all.
    for (const wchar_t *name : {L"caf\u00e9", L"\u301c", L"\ud55c", L"\U0001F3B5"})
        EXPECT_FALSE(codepage::Spell(name, &spelt)) << static_cast<unsigned>(name[0]);
}
