// The ordinal numbers and signatures of KORVEL.dll.  The import library is made from the
// same .def as the DLL, so a renumbered operation would still link and play;
// only a table written out here catches it, for every copy of Tivorn.exe
// built against the old numbers.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/korvel.h"

namespace {

struct Export {
    WORD ordinal;
    const char *name;
    const void *imported;  // as the import library resolved it
};

// The table's signature, exactly: a program built against it passes these
// arguments and reads this result, whatever this build's header says.  An
// operation of another type does not convert, and the test does not compile.
template <typename Signature>
const void *Address(Signature *function) {
    return reinterpret_cast<const void *>(function);
}

TEST(EngineOrdinals, EachOperationHasItsNumberAndSignatureAndNothingElseIsExported) {
    // &Name of a dllimport function is the address the loader put in the
    // import table, so two swapped numbers show as two mismatches.
    const Export kExports[] = {
        {1, "EngineInit", Address<int()>(&EngineInit)},
        {2, "EngineClose", Address<int()>(&EngineClose)},
        {3, "OpenSong", Address<int(const char *, int)>(&OpenSong)},
        {5, "StartSong", Address<int(void (*)(int))>(&StartSong)},
        {6, "StopSong", Address<void()>(&StopSong)},
        {7, "ActivityState", Address<int()>(&ActivityState)},
        {10, "PlaybackOwner", Address<HWND()>(&PlaybackOwner)},
        {11, "ReportPlayError", Address<int(int, HWND)>(&ReportPlayError)},
        {13, "ResolveShortcut", Address<int(const char *, char *)>(&ResolveShortcut)},
        {14, "HandOver", Address<int(const char *, HWND)>(&HandOver)},
        {15, "InstallHook", Address<HHOOK(int, HWND)>(&InstallHook)},
        {16, "SetPlaybackOwner", Address<void(HWND, int)>(&SetPlaybackOwner)},
        {20, "FreeEngineMemory", Address<void(void *)>(&FreeEngineMemory)},
        {21, "LastSeparator", Address<char *(const char *)>(&LastSeparator)},
        {22, "IsSeparatorAt", Address<int(const char *)>(&IsSeparatorAt)},
        {23, "FileExists", Address<int(const char *, int)>(&FileExists)},
        {24, "BrowseFolder", Address<int(HWND, char *, const char *, const char *)>(&BrowseFolder)},
        {25, "ListFolder", Address<char **(const char *, int, int *, const char *)>(&ListFolder)},
        {26, "DeleteValue", Address<void(const char *, const char *, HKEY)>(&DeleteValue)},
        {27, "ReadValue", Address<DWORD(const char *, const char *, void *, DWORD, DWORD, HKEY)>(&ReadValue)},
        {28, "WriteValue", Address<void(const char *, const char *, const void *, DWORD, DWORD, HKEY)>(&WriteValue)},
        {29, "EngineVariant", Address<int()>(&EngineVariant)},
        // The operations added to the interface: the output changed, and
        // where the settings are.
        {30, "SwitchOutput", Address<int()>(&SwitchOutput)},
        {31, "SetSettingsKey", Address<void(const char *)>(&SetSettingsKey)},
        {32, "SynthOutputStats", Address<int(KorvelSynthStats *)>(&SynthOutputStats)},
        {33, "SongTitle", Address<int(char *, int)>(&SongTitle)},
    };

    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    ASSERT_GT(length, 0u);
    std::string dll(exe, length);
    dll.replace(dll.find_last_of('\\') + 1, std::string::npos, "KORVEL.dll");
    HMODULE module = LoadLibraryA(dll.c_str());
    ASSERT_NE(module, nullptr) << dll;

    std::set<DWORD> expected;
    for (const Export &e : kExports) {
        expected.insert(e.ordinal);
        const void *byNumber = reinterpret_cast<const void *>(GetProcAddress(module, MAKEINTRESOURCEA(e.ordinal)));
        ASSERT_NE(e.imported, nullptr) << e.name;
        EXPECT_EQ(byNumber, e.imported) << "ordinal " << e.ordinal << " is not " << e.name;
    }

    // The export directory of the loaded image.
    auto base = reinterpret_cast<const BYTE *>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    const IMAGE_DATA_DIRECTORY &entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + entry.VirtualAddress);
    EXPECT_EQ(exports->NumberOfNames, 0u) << "operations are found by number only";

    auto functions = reinterpret_cast<const DWORD *>(base + exports->AddressOfFunctions);
    std::set<DWORD> exported;
    for (DWORD i = 0; i < exports->NumberOfFunctions; ++i)
        if (functions[i] != 0) exported.insert(exports->Base + i);
    EXPECT_EQ(exported, expected);

    FreeLibrary(module);
}

}  // namespace
