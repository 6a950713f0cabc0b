// The best settings dialog's tests: a user who types into an edit, and the
// real dialog over a scratch MIDI folder.
#ifndef TIVORN_TESTS_EDITOR_BEST_DIALOG_FIXTURE_H
#define TIVORN_TESTS_EDITOR_BEST_DIALOG_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "editor/best_settings_dialog.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/best_dialog_driving.h"
#include "testing/fake_editor_host.h"
#include "testing/midi_writer.h"
#include "testing/store_fixture.h"

namespace best_dialog {

using namespace tt;
using bestbytes::Bytes;
using bestbytes::Record;
using R = BestSettingsResult;

const char kSaveQuestion[] = "このベストの変更点を保存しますか？";

// Typed as the keyboard types it, one character after another.
inline void Type(HWND edit, const wchar_t *text) {
    for (; *text; ++text) SendMessageW(edit, WM_CHAR, *text, 0);
}

// --- the real dialog over a scratch MIDI folder --------------------------------

// The folder the folder picker chooses; none while empty.
inline std::string g_chosenFolder;
inline int PickChosenFolder(HWND, char *folder, const char *, const char *) {
    if (g_chosenFolder.empty()) return 0;
    lstrcpyA(folder, g_chosenFolder.c_str());
    return 1;
}

class BestDialogTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        log_ = data_.Join("play.log");
        program_key::WriteString(program_key::EngineKey(), "Output", "log:" + log_);
        ASSERT_TRUE(EngineInit());
        for (const char *song : {"A\\a1.mid", "A\\a2.mid", "B\\b1.mid", "r.mid"})
            midi_.WriteFile(song, midiw::Tune({60}, 30000));
        program_key::WriteString(program_key::Key(), "Root", midi_.path());
    }
    void TearDown() override {
        if (IsWindow(app_.dialog)) DestroyWindow(app_.dialog);
        StopSong();
        SetPlaybackOwner(nullptr, 0);
        EngineClose();
        app_.player().SetCurrentBestName(nullptr);
        StoreFixture::TearDown();
    }

    std::string M(const std::string &below = "") const { return below.empty() ? midi_.path() : midi_.Join(below); }

    void Open(const std::vector<bestbytes::Bytes> &bests, const char *current, HWND owner = nullptr) {
        if (!bests.empty()) WriteBests(bests);
        app_.player().SetCurrentBestName(current);
        app_.dialog = BestSettingsDialog::Create(GetModuleHandleA(nullptr), owner, &app_, store_);
        ASSERT_NE(app_.dialog, nullptr);
        Dialog().SetFolderPicker(PickChosenFolder);
        tree_ = GetDlgItem(app_.dialog, IDC_TREE);
    }

    BestSettingsDialog &Dialog() { return *BestSettingsDialog::From(app_.dialog); }

    // The item reached by labels from the root "MIDIファイル".
    HTREEITEM Item(const std::vector<std::string> &labels) {
        HTREEITEM item = TreeView_GetRoot(tree_);
        for (const std::string &label : labels) {
            TreeView_Expand(tree_, item, TVE_EXPAND);
            item = ChildLabelled(tree_, item, label);
            if (!item) return nullptr;
        }
        return item;
    }

    std::string Label(HTREEITEM item) { return ItemLabel(tree_, item); }

    unsigned Mark(HTREEITEM item) { return TreeView_GetItemState(tree_, item, 0xF000) & 0x3000; }

    // A press on the item's check box, the mouse given back over the box or
    // elsewhere, as the tree's own tracking gives it back.
    void ClickBox(HTREEITEM item, bool releaseOver = true) {
        TreeView_EnsureVisible(tree_, item);
        RECT label = {};
        TreeView_GetItemRect(tree_, item, &label, TRUE);
        POINT box = {0, (label.top + label.bottom) / 2};
        TVHITTESTINFO hit = {};
        for (box.x = 0; box.x < label.left; ++box.x) {
            hit.pt = box;
            if (TreeView_HitTest(tree_, &hit) == item && (hit.flags & TVHT_ONITEMSTATEICON)) break;
        }
        ASSERT_LT(box.x, label.left) << "no check box";
        POINT release = releaseOver ? box : POINT{label.right + 40, label.top - 40};
        ClientToScreen(tree_, &release);
        SetCursorPos(release.x, release.y);
        PumpMessages();
        PostMessageA(tree_, WM_LBUTTONUP, 0, MAKELPARAM(box.x, box.y));
        SendMessageA(tree_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.x, box.y));
        PumpMessages();
    }

    // A key as the dialog manager offers it to the tree.
    void Key(HTREEITEM item, UINT message, WPARAM key) { OfferKey(tree_, item, message, key); }

    void Command(int id, int notification = BN_CLICKED) {
        SendMessageA(app_.dialog, WM_COMMAND, MAKEWPARAM(id, notification), 0);
    }

    void SelectBest(int index) {
        SendDlgItemMessageA(app_.dialog, IDC_BEST_LIST, CB_SETCURSEL, index, 0);
        Command(IDC_BEST_LIST, CBN_SELCHANGE);
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        store_.ReadBestNames(&names);
        return names;
    }

    std::vector<std::string> Entries(const char *best) {
        std::vector<std::string> entries;
        best::BestRecord record = store_.FindBestInFile(best);
        for (size_t at = record.FirstEntry(); at != record.Terminator(); at = record.Next(at))
            entries.push_back(record.At(at));
        return entries;
    }

    std::vector<std::string> Events() { return SongEvents(log_); }

    ScratchFolder midi_;
    std::string log_;
    FakeEditorHost app_{store_};
    HWND tree_ = nullptr;
};

}  // namespace best_dialog

#endif
