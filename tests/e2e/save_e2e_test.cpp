// The real Tivorn.exe saving a best while another program holds the best
// file: the failure is told, and giving up loses nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "e2e/player_e2e_fixture.h"
#include "resources/resource_ids.h"
#include "testing/best_bytes.h"

namespace {

using namespace tt;
using namespace player_e2e;

TEST_F(PlayerE2E, ASaveWithTheBestFileHeldKeepsTheDialogTheFileAndTheHistory) {
    WriteBests({bestbytes::Record("One", {Song("a.mid", 30000)})});
    std::string before, after;
    ASSERT_TRUE(ReadWholeFile(data_.Join("KORVEL.dat"), &before));
    Start("One");
    ASSERT_TRUE(WaitForFirstStartHandled());
    std::string history = History("One");
    Command(IDM_BEST_SETTINGS);
    HWND dialog = nullptr, names = nullptr, box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr && IsWindowVisible(dialog); }));
    // A backup tool reads the file without letting it be replaced, for longer
    // than the writer waits; a new best is a save.
    std::string bestFile = data_.Join("KORVEL.dat");
    HANDLE held = CreateFileA(bestFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    PressButton(dialog, IDC_NEW_BEST);
    ASSERT_TRUE(WaitUntil([&] { return (names = FindMessageBox(tivorn_.id(), "ベスト名の入力")) != nullptr; }));
    SetDlgItemTextA(names, IDC_BEST_NAME, "New");
    PressButton(names, IDOK);
    for (int button : {IDRETRY, IDCANCEL}) {
        ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(tivorn_.id())) != nullptr; }));
        EXPECT_EQ(MessageBoxText(box).rfind("ベストを保存できませんでした。\n", 0), 0u) << MessageBoxText(box);
        PressButton(box, button);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_BEST_LIST), CB_GETCOUNT, 0, 0), 1);
    CloseHandle(held);
    PressButton(dialog, IDC_CANCEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(tivorn_.Exit(), 0u);
    ASSERT_TRUE(ReadWholeFile(data_.Join("KORVEL.dat"), &after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(History("One"), history);
}

}  // namespace
