// The ordinal numbers and signatures of KORVEL.dll.  The import library is made from the
// same .def as the DLL, so a renumbered operation would still link and play;
// only a table written out here catches it, for every copy of Tivorn.exe
// built against the old numbers.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>

#include "engine/korvel.h"

namespace {

struct Export {
    WORD ordinal;
    const char *name;
    const void *imported;  // as the import library resolved it
};

// The operation's type must be the signature written in the table, exactly:
// a program built against that interface passes these arguments and reads
// this result, whatever the header of this build says.
#define KORVEL_EXPORT(ordinal, name, Signature)                                                      \
    Export {                                                                                       \
        ordinal, #name, [] {                                                                       \
            static_assert(std::is_same<decltype(&name), std::add_pointer<Signature>::type>::value, \
                          #name " is not " #Signature);                                            \
            return reinterpret_cast<const void *>(&name);                                          \
        }()                                                                                        \
    }

TEST(EngineOrdinals, EachOperationHasItsNumberAndSignatureAndNothingElseIsExported) {
    // &Name of a dllimport function is the address the loader put in the
    // import table, so two swapped numbers show as two mismatches.
    const Export kExports[] = {
        KORVEL_EXPORT(1, EngineInit, int()),
        KORVEL_EXPORT(2, EngineClose, int()),
        KORVEL_EXPORT(3, OpenSong, int(const char *path, int readAtOnce)),
        KORVEL_EXPORT(5, StartSong, int(void (*onEnd)(int value))),
        KORVEL_EXPORT(6, StopSong, void()),
        KORVEL_EXPORT(7, ActivityState, int()),
        KORVEL_EXPORT(10, PlaybackOwner, HWND()),
        KORVEL_EXPORT(11, ReportPlayError, int(int preview, HWND resident)),
        KORVEL_EXPORT(13, ResolveShortcut, int(const char *shortcut, char *target)),
        KORVEL_EXPORT(14, HandOver, void(const char *commandLine, HWND running)),
        KORVEL_EXPORT(15, InstallHook, HHOOK(int variant)),
        KORVEL_EXPORT(16, SetPlaybackOwner, void(HWND owner, int flag)),
        KORVEL_EXPORT(20, FreeEngineMemory, void(void *block)),
        KORVEL_EXPORT(21, LastSeparator, char *(const char *path)),
        KORVEL_EXPORT(22, IsSeparatorAt, int(const char *character)),
        KORVEL_EXPORT(23, FileExists, int(const char *path, int mode)),
        KORVEL_EXPORT(24, BrowseFolder, int(HWND owner, char *folder, const char *prompt, const char *caption)),
        KORVEL_EXPORT(25, ListFolder, char **(const char *pattern, int kind, int *lastIndex, const char *filter)),
        KORVEL_EXPORT(26, DeleteValue, void(const char *subkey, const char *name, HKEY root)),
        KORVEL_EXPORT(27, ReadValue,
                      DWORD(const char *subkey, const char *name, void *buffer, DWORD size, DWORD type, HKEY root)),
        KORVEL_EXPORT(28, WriteValue,
                      void(const char *subkey, const char *name, const void *data, DWORD size, DWORD type, HKEY root)),
        KORVEL_EXPORT(29, EngineVariant, int()),
        // The one operation added to the interface: the output changed.
        KORVEL_EXPORT(30, SwitchOutput, int()),
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
