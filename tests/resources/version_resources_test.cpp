// The built Tivorn.exe and KORVEL.dll as Explorer and the loader see them:
// their version resources (read from the files in TIVORN_BIN_DIR), and the
// program's manifest as the loader parses it, so a misspelt namespace or
// setting fails here rather than leaving the program silently unscaled.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/win_test_support.h"

namespace {

struct Binary {
    const char *file;
    const char *internalName;
    DWORD fileType;
};

const Binary kBinaries[] = {
    {"Tivorn.exe", "Tivorn", VFT_APP},
    {"KORVEL.dll", "KORVEL", VFT_DLL},
};

std::string StringValue(const std::vector<char> &block, const char *name) {
    std::string query = std::string("\\StringFileInfo\\041104b0\\") + name;
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), &value, &length) || !value) return "(missing)";
    return static_cast<const char *>(value);
}

TEST(VersionResources, BothBinariesCarryTheBuildsVersionInJapanese) {
    for (const Binary &binary : kBinaries) {
        SCOPED_TRACE(binary.file);
        std::string path = tt::BinDir() + "\\" + binary.file;
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << path << " has no version resource (error " << GetLastError() << ")";
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
        ASSERT_GE(length, sizeof *fixed);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));  // 1.0
        EXPECT_EQ(fixed->dwFileVersionLS, 0u);               // .0.0
        EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
        EXPECT_EQ(fixed->dwProductVersionLS, 0u);
        EXPECT_EQ(fixed->dwFileType, binary.fileType);

        WORD *translation = nullptr;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                   reinterpret_cast<void **>(&translation), &length));
        ASSERT_GE(length, 2 * sizeof(WORD));
        EXPECT_EQ(translation[0], 0x0411);
        EXPECT_EQ(translation[1], 1200);

        EXPECT_EQ(StringValue(block, "FileVersion"), "1.00");
        EXPECT_EQ(StringValue(block, "ProductVersion"), "1.00");
        EXPECT_EQ(StringValue(block, "ProductName"), "Tivorn");
        EXPECT_EQ(StringValue(block, "CompanyName"), "Zarnith");
        EXPECT_EQ(StringValue(block, "OriginalFilename"), binary.file);
        EXPECT_EQ(StringValue(block, "InternalName"), binary.internalName);
        EXPECT_NE(StringValue(block, "LegalCopyright").find("Zarnith"), std::string::npos);
        EXPECT_NE(StringValue(block, "FileDescription").find("Tivorn"), std::string::npos);
    }
}

// One setting of the activation context built from Tivorn.exe's manifest.
std::wstring ManifestSetting(HANDLE context, const wchar_t *space, const wchar_t *name) {
    wchar_t value[128] = L"";
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, space, name, value, ARRAYSIZE(value), &written)) return L"(missing)";
    return value;
}

TEST(ProgramManifest, AsksForCommonControlsSixPerMonitorAwarenessAndTheJapaneseCodePage) {
    std::string path = tt::BinDir() + "\\Tivorn.exe";
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << path;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const char *data = static_cast<const char *>(LockResource(LoadResource(module, found)));
    ASSERT_NE(data, nullptr);
    std::string manifest(data, SizeofResource(module, found));
    FreeLibrary(module);
    size_t controls = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(controls, std::string::npos);
    EXPECT_EQ(manifest.find("version=\"6.0.0.0\"", controls), manifest.find("version=", controls));

    // The loader's own reading of the manifest.
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = CreateActCtxA(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    EXPECT_EQ(ManifestSetting(context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
              L"true/pm");
    EXPECT_EQ(ManifestSetting(context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(ManifestSetting(context, L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage"),
              L"ja-JP");
    ReleaseActCtx(context);
}

}  // namespace
