// The best settings dialog's all-files tab over the Shell namespace Wine
// offers: the roots, the marks read from the best's entries below a drive,
// and ticks collected back into the best.  The files live in a scratch
// folder at the top of drive C:.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor/best_settings_dialog.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/best_dialog_driving.h"
#include "testing/fake_editor_host.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;
using Paths = std::vector<std::string>;
const char kUserFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

class ShellTabTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        program_key::WriteString(program_key::Key(), "Root", data_.path());
        DeleteTree(disk_);
        for (const std::string &folder :
             {disk_, D("Sub"), D("Sub\\Mark"), D("Empty"), D(long_), D("Desktop"), D("Desktop\\Own")})
            CreateDirectoryA(folder.c_str(), nullptr);
        for (const char *file : {"Sub\\a.mid", "Sub\\b.txt", "Sub\\Mark\\m.mid", "Desktop\\Own\\a.mid"}) Touch(D(file));
        // In a folder that nearly fills a path buffer one name fits, one does not.
        Touch(D(long_ + "\\fits.txt"));
        ASSERT_TRUE(Touch(tooLong_));
    }
    void TearDown() override {
        if (IsWindow(app_.dialog)) DestroyWindow(app_.dialog);
        DeleteFileW(std::wstring(tooLong_.begin(), tooLong_.end()).c_str());
        DeleteTree(disk_);
        if (ownProfile_) {
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
            RegCloseKey(ownProfile_);
        }
        app_.player().SetCurrentBestName(nullptr);
        StoreFixture::TearDown();
    }

    static bool Touch(const std::string &path) {
        std::wstring wide(path.begin(), path.end());
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        return file != INVALID_HANDLE_VALUE && CloseHandle(file);
    }
    std::string D(const std::string &below) const { return disk_ + "\\" + below; }

    // The dialog on best "T" with these entries, showing the all-files tab.
    void Open(const Paths &entries) {
        WriteBests({bestbytes::Record("T", entries)});
        app_.player().SetCurrentBestName("T");
        app_.dialog = BestSettingsDialog::Create(GetModuleHandleA(nullptr), nullptr, &app_, store_);
        ASSERT_NE(app_.dialog, nullptr);
        tree_ = GetDlgItem(app_.dialog, IDC_TREE);
        SwitchTab(1);
    }
    void SwitchTab(int tab) { tt::SwitchTab(app_.dialog, tab); }

    FolderTree &Tree() { return BestSettingsDialog::From(app_.dialog)->tree(); }
    uint32_t Data(HTREEITEM item) { return Tree().Data(reinterpret_cast<tree::Item>(item)); }
    TVITEMA Read(HTREEITEM item, UINT mask) {
        TVITEMA read = {};
        read.mask = mask;
        read.hItem = item;
        TreeView_GetItem(tree_, &read);
        return read;
    }
    unsigned State(HTREEITEM item) { return TreeView_GetItemState(tree_, item, 0xFFFF); }
    unsigned Mark(HTREEITEM item) { return State(item) & 0x3000; }
    bool IsFile(HTREEITEM item) { return Tree().IsFile(reinterpret_cast<tree::Item>(item)); }
    std::string Name(HTREEITEM item) { return Tree().Name(Data(item) & tree::kNameIndexMask); }
    std::vector<HTREEITEM> Children(HTREEITEM parent) { return ChildItems(tree_, parent); }
    HTREEITEM Computer() { return TreeView_GetChild(tree_, TreeView_GetRoot(tree_)); }

    // The item of path ("C:\..."), each folder on the way opened.
    HTREEITEM Reach(const std::string &path) {
        HTREEITEM item = Computer();
        for (size_t begin = 0, end = 0; item && begin <= path.size(); begin = end + 1) {
            end = std::min(path.find('\\', begin), path.size());
            TreeView_Expand(tree_, item, TVE_EXPAND);
            std::vector<HTREEITEM> children = Children(item);
            std::string name = path.substr(begin, end - begin);
            auto named = [&](HTREEITEM c) { return !lstrcmpiA(Name(c).c_str(), name.c_str()); };
            auto found = std::find_if(children.begin(), children.end(), named);
            item = found == children.end() ? nullptr : *found;
        }
        return item;
    }
    // Space as the dialog manager offers it to the tree.
    void Space(HTREEITEM item) { OfferKey(tree_, item, WM_CHAR, ' '); }

    const std::string disk_ = "C:\\tivorn-shelltab-" + std::to_string(GetCurrentProcessId());
    const std::string long_ = std::string(240 - disk_.size() - 1, 'L');
    const std::string tooLong_ = "\\\\?\\" + disk_ + "\\" + long_ + "\\" + std::string(30, 'x') + ".txt";
    // The desktop folder in the scratch folder, for this process only: its
    // HKEY_CURRENT_USER becomes a key below the program's, which the Shell
    // reads the desktop's place from.  The user's own, which Wine links to
    // the Unix home and every program shows, is not touched.
    void SetDesktop(const std::string &folder) {
        std::string profile = std::string(program_key::Key()) + "\\Profile";
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, profile.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &ownProfile_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, ownProfile_), ERROR_SUCCESS);
        RegSetKeyValueA(HKEY_CURRENT_USER, kUserFolders, "Desktop", REG_EXPAND_SZ, folder.c_str(),
                        static_cast<DWORD>(folder.size() + 1));
        program_key::WriteString(program_key::Key(), "Root", data_.path());
    }
    HKEY ownProfile_ = nullptr;
    FakeEditorHost app_{store_};
    HWND tree_ = nullptr;
};

TEST_F(ShellTabTest, TheDesktopHoldsMyComputerWithTheDrivesNetworkNeighborhoodAndItsOwnFolders) {
    SetDesktop(D("Desktop"));
    Open({D("Desktop\\Own\\a.mid")});
    HTREEITEM desktop = TreeView_GetRoot(tree_), computer = Computer();
    EXPECT_EQ(TreeView_GetNextSibling(tree_, desktop), nullptr);
    EXPECT_EQ(TreeView_GetSelection(tree_), computer);
    EXPECT_TRUE(State(computer) & State(desktop) & TVIS_EXPANDED);
    // The build's two nodes first and once each, however often the Desktop
    // is opened, then the desktop's own folders, with marks from the best.
    TreeView_Expand(tree_, desktop, TVE_COLLAPSE);
    TreeView_Expand(tree_, desktop, TVE_EXPAND);
    std::vector<HTREEITEM> top = Children(desktop);
    ASSERT_GE(top.size(), 3u);
    EXPECT_EQ(Data(desktop), tree::kShellNodeBit | ShellNodes::kDesktop);
    EXPECT_EQ(Data(top[0]), tree::kShellNodeBit | ShellNodes::kMyComputer);
    EXPECT_EQ(Data(top[1]), tree::kShellNodeBit | ShellNodes::kNetwork);
    Paths labels;
    for (HTREEITEM item : top) labels.push_back(ItemLabel(tree_, item));
    for (int node : {0, 1}) EXPECT_EQ(std::count(labels.begin(), labels.end(), labels[node]), 1) << labels[node];
    HTREEITEM own = ChildLabelled(tree_, desktop, "Own");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(Mark(own), 0x3000u);
    EXPECT_EQ(Name(own), D("Desktop\\Own"));
    // No mark on a Shell node, and Space changes nothing there.
    top.push_back(desktop);
    for (HTREEITEM node : top) {
        if (!(Data(node) & tree::kShellNodeBit)) continue;
        Space(node);
        EXPECT_EQ(State(node) & 0xF000, 0u);
        EXPECT_EQ(Data(node) & tree::kChangedBit, 0u);
    }

    // My Computer: file-system folders only, named by their paths ("C:").
    Paths drives;
    for (HTREEITEM drive : Children(computer)) {
        EXPECT_EQ(Data(drive) & tree::kShellNodeBit, 0u);
        EXPECT_EQ(Mark(drive), Name(drive) == "C:" ? 0x3000u : 0x1000u);  // the desktop folder is on C:
        drives.push_back(Name(drive));
    }
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:"), drives.end());

    // The system's small icons here; the MIDI tab's own list there.
    SHFILEINFOA info = {};
    auto system = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(D("Sub\\b.txt").c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    EXPECT_EQ(TreeView_GetImageList(tree_, TVSIL_NORMAL), system);
    EXPECT_EQ(Read(Reach(D("Sub\\b.txt")), TVIF_IMAGE).iImage, info.iIcon);
    // The desktop's folder unticked: its file leaves the best, though the
    // Shell lists the folder after the drives.
    Space(own);
    SwitchTab(0);
    best::BestRecord &record = BestSettingsDialog::From(app_.dialog)->state().edited;
    EXPECT_EQ(record.FirstEntry(), record.Terminator());
    EXPECT_NE(TreeView_GetImageList(tree_, TVSIL_NORMAL), system);
}

TEST_F(ShellTabTest, MarksBelowADriveComeFromTheEntriesAndEveryFileIsShown) {
    Open({D("Sub\\Mark") + "/", D("Sub\\Mark\\m.mid"), D("Sub\\a.mid")});
    EXPECT_EQ(Mark(Reach("C:")), 0x3000u);
    EXPECT_EQ(Mark(Reach(D("Sub"))), 0x3000u);
    // A folder marker stands for the MIDI files below: partly checked here.
    EXPECT_EQ(Mark(Reach(D("Sub\\Mark"))), 0x3000u);
    HTREEITEM a = Reach(D("Sub\\a.mid")), b = Reach(D("Sub\\b.txt"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(Mark(a), 0x2000u);
    EXPECT_EQ(Mark(b), 0x1000u);
    EXPECT_TRUE(IsFile(a) && IsFile(b));

    // A folder found empty loses its expand button and stays a folder.
    HTREEITEM empty = Reach(D("Empty"));
    TreeView_Expand(tree_, empty, TVE_EXPAND);
    EXPECT_EQ(Read(empty, TVIF_CHILDREN).cChildren, 0);
    EXPECT_FALSE(IsFile(empty));
    // A path past 259 bytes is left out.
    EXPECT_NE(Reach(D(long_ + "\\fits.txt")), nullptr);
    EXPECT_EQ(Children(Reach(D(long_))).size(), 1u);
}

TEST_F(ShellTabTest, TicksBelowADriveAreCollectedIntoTheBest) {
    Open({D("Sub\\a.mid")});
    Space(Reach(D("Sub\\b.txt")));
    // A closed folder ticked whole: its path and each file a path can name.
    HTREEITEM full = Reach(D(long_));
    TreeView_Expand(tree_, full, TVE_COLLAPSE);
    Space(full);
    EXPECT_EQ(Mark(Reach("C:")), 0x3000u);
    EXPECT_EQ(State(Computer()) & 0xF000, 0u);

    SwitchTab(0);  // the marks of the tab left go into the edited best
    Paths entries;
    best::BestRecord &record = BestSettingsDialog::From(app_.dialog)->state().edited;
    for (size_t at = record.FirstEntry(); at != record.Terminator(); at = record.Next(at))
        entries.push_back(record.At(at));
    EXPECT_EQ(entries, (Paths{D(long_), D(long_ + "\\fits.txt"), D("Sub\\a.mid"), D("Sub\\b.txt")}));
    SwitchTab(1);
    EXPECT_EQ(Mark(Reach(D("Sub\\b.txt"))), 0x2000u);
}

}  // namespace
