// The best settings dialog (IDD_BEST_SETTINGS), modeless, owned by the
// resident window.  The dialog object is bound to its window (DWLP_USER) and
// owns what one opening edits: the edited best record, its dirty flag and
// the changes.  What the dialog needs of the application comes
// through EditorHost, which the application implements.
//
// OK, Cancel and Close end in a BestSettingsResult.  The dialog posts its
// close to itself and hands the result over when that message arrives with
// none of its handlers under way; the host applies it and destroys the
// dialog.  So no handler ever runs on a dialog that is gone.
#ifndef TIVORN_EDITOR_BEST_SETTINGS_DIALOG_H
#define TIVORN_EDITOR_BEST_SETTINGS_DIALOG_H

#include <windows.h>

#include <commctrl.h>

#include "editor/advanced_dialog.h"
#include "editor/edit_model.h"
#include "editor/folder_tree.h"
#include "editor/handler_depth.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "utils/exit_request.h"
#include "utils/image_list.h"
#include "utils/window_binding.h"

class EditorHost : public ExitRequester {
public:
    // Applies the result to playback and the best menu, then destroys the
    // dialog.  The dialog calls it from its posted close, no other handler
    // of it under way; the dialog object is gone when this returns.
    virtual void CloseBestSettings(const BestSettingsResult &result) = 0;
    virtual bool HotkeyHookInstalled() = 0;
    // Installs the hotkey hook (a failure is reported, not fatal) or removes it.
    virtual void SetHotkeyHook(bool on) = 0;
    // The dialog's window exists and is being set up: from now on the host
    // finds the dialog by it (its keys, whether the player waits for it),
    // boxes shown while it sets up included.
    virtual void BestSettingsOpening(HWND dialog) = 0;
    // The player whose best the dialog names and whose playback a preview takes.
    virtual Player &player() = 0;

protected:
    ~EditorHost() = default;
};

// The best menu reads the names alone, and asks the store for them itself.
enum class ReadBestsMode {
    Find,             // the record of that name
    FillSelect,       // fill the combo box, select and load that name
    FillSelectFirst,  // as FillSelect, the first best when no name matches
};

enum class SaveBestMode {
    Delete = 0,       // remove the edited best's name from the file
    Rebuild = 1,      // take the tree's marks, then save
    AsIs = 2,         // save the edited record as it is
    RebuildOnly = 3,  // take the tree's marks, leave the file alone
};

enum class SaveBestResult {
    Declined = -1,  // the user chose not to save
    // Not saved, and the user was told: the best file, the history and the
    // edits are as they were, and what asked for the save does not happen.
    Failed = 0,
    Saved = 1,      // saved, or nothing to save
    Cancelled = 2,  // the user cancelled; always for SaveBestMode::RebuildOnly
};

// Whether the dialog gets a button on the taskbar of its own.
enum class TaskbarButton {
    None,  // opened from the tray menu, under its owner
    Own,   // opened by itself at start: nothing else shows that it waits
};

class BestSettingsDialog {
public:
    BestSettingsDialog(EditorHost *host, Store &store)
        : host_(host), store_(store), depth_([this] { OnHandlersReturned(); }),
          tree_(&state_, midiFolder_, host, store, depth_) {}
    BestSettingsDialog(const BestSettingsDialog &) = delete;
    BestSettingsDialog &operator=(const BestSettingsDialog &) = delete;

    // Creates the dialog and its object, which the window deletes when it
    // is destroyed; null when it could not be created.
    static HWND Create(HINSTANCE instance, HWND owner, EditorHost *host, Store &store,
                       TaskbarButton button = TaskbarButton::None);
    // The object of a dialog made by Create; null once it is destroyed.
    static BestSettingsDialog *From(HWND dialog);

    // The best file's reader for the dialog.  Find puts a copy of the record
    // of that name into *record.  FillSelect and FillSelectFirst fill the
    // combo box with every name, select the record named name (or with
    // FillSelectFirst the first when none is) and load it as the edited best
    // without the save question; *record gets a copy.  Nonzero when a
    // record was found or selected; 0 when the file holds no best, and
    // nothing changes.
    int ReadBests(const char *name, ReadBestsMode mode, HWND combo, best::BestRecord *record);

    // Saves the edited best record into the best file (see SaveBestMode).
    // With ask, and unless changes are saved automatically, the user is
    // asked first in a box owned by owner.  A save that fails is told in a
    // box there too, which offers to try again.
    SaveBestResult SaveBest(HWND owner, bool ask, SaveBestMode mode);

    EditState &state() { return state_; }
    FolderTree &tree() { return tree_; }
    HWND window() const { return window_; }
    // The player waits for this dialog to name its best (it has none, or
    // its best was deleted here): however the dialog closes, the current
    // best is switched to and played.
    bool PlayerWaits() const { return playerWaits_; }

    // The folder picker of this dialog and of its advanced settings; the
    // engine's unless a test gives another.  Null gives the engine's back.
    void SetFolderPicker(FolderPicker picker) { picker_ = picker ? picker : BrowseFolder; }

private:
    using Binding = WindowBinding<BestSettingsDialog, WindowLifetime::DeletedWithWindow>;
    friend Binding;

    INT_PTR OnInitDialog(HWND window);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool SetUp();
    TaskbarButton taskbarButton_ = TaskbarButton::None;
    INT_PTR OnCommand(WORD id, WORD notification);
    INT_PTR OnNotify(const NMHDR *notice);
    void OnDrawItem(const DRAWITEMSTRUCT *draw);
    void OnSetCursor(HWND under, UINT mouseMessage);
    void OnDestroy();

    void OnBestSelected();
    void OnSave();
    void OnNewBest();
    void OnDeleteBest();
    void OnChangeBestToPlay();
    void OnChangeMidiFolder();
    void OnAdvanced();
    void OnOk();
    void OnCancel();
    // Ends the dialog with result: once, and by a posted message.
    void Close(const BestSettingsResult &result);
    void OnPostedClose();
    void OnHandlersReturned();

    void ApplyAdvanced(const AdvancedChoice &choice);
    bool ApplyCheckLook(const AdvancedChoice &choice);
    void ShowNewFolderBests();

    bool CreateButtonImages();
    enum class FirstBest {
        Loaded,       // the first best of the file
        DefaultMade,  // the file held none: the default best was made
        Gone,         // the user ended the program, or a failure was reported
    };
    // No current best: the first best of the file, or the default best when
    // the file truly holds none.  A file that cannot be read is told of until
    // it can, or the user ends the program.
    // What becomes of the played histories of other bests when the file holds
    // none: an opening starts afresh; after a switch to another folder's
    // files they belong to the bests of the folder left, which still has them.
    enum class OtherHistories { Clear, Keep };
    FirstBest LoadFirstOrDefaultBest(HWND combo, best::BestRecord *record,
                                     OtherHistories histories = OtherHistories::Clear);
    void MakeDefaultBest(HWND combo, best::BestRecord *record);
    // The selection-change handling without the save question: the best
    // selected in combo becomes the edited best record, or a new empty
    // record when the file has no best of that name.
    void LoadSelectedBest(HWND combo);
    // After a load by the user: the tree shows the loaded best.
    void ShowLoadedBest();
    // Collects the marks of the folder tree into the edited best
    // record; answers whether its entry list changed.
    bool CollectTreeMarks();
    SaveBestResult LeaveBestSave();
    // The unexpected-error report with shut-down, modal to this dialog.  The
    // program ends: the handler that reports goes no further.
    void ReportFailure();
    bool EditedIsCurrent() const;
    // The player's current best, shown under 再生するベスト.
    void ShowBestToPlay();
    void RequireOk();
    void ShowMidiFolder();
    std::string SelectedName();
    std::string ShownBestToPlay();  // the best to play, as the dialog shows it
    HWND Combo() const;

    HWND window_ = nullptr;
    EditorHost *host_;
    Store &store_;  // the application's, lent for the dialog's life
    FolderPicker picker_ = BrowseFolder;
    EditState state_;
    HandlerDepth depth_;
    char midiFolder_[MAX_PATH] = "";  // "Root", the folder shown under the tree's root
    FolderTree tree_;
    bool treeShown_ = false;          // SetUp has run: loads rebuild the tree
    HWND buttons_[3] = {};            // new, save, delete
    HWND hotButton_ = nullptr;        // the button under the mouse
    ImageList buttonImages_;
    bool failed_ = false;             // a failure was reported: the program ends
    bool closing_ = false;            // the close is posted, with result_
    bool playerWaits_ = false;        // see PlayerWaits
    bool closeWaits_ = false;         // it arrived while a handler was under way
    BestSettingsResult result_;
};

#endif
