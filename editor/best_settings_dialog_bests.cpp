// The best settings dialog's bests: the best file as the dialog reads and
// writes it, the first best of an opening, and the commands that select,
// create, save and delete a best or make it the best to play.
#include "editor/best_settings_dialog.h"

#include <cstring>

#include "editor/best_name_dialog.h"
#include "editor/data_boxes.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "utils/message_box.h"

namespace {

const char kSaveQuestion[] = "このベストの変更点を保存しますか？";
const char kDeleteQuestion[] = "このベストを削除してもよろしいですか？";
const char kLastBest[] = "すべてのベストを削除することはできません。";

bool SameName(const char *a, const char *b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace

// --- the best file, as the dialog reads and writes it -------------------------

int BestSettingsDialog::ReadBests(const char *name, ReadBestsMode mode, HWND combo, best::BestRecord *record) {
    best::BestRecord ignored;
    if (!record) record = &ignored;
    *record = best::BestRecord();
    switch (mode) {
    case ReadBestsMode::Find:
        *record = store_.FindBestInFile(name);
        return record->IsNone() ? 0 : 1;
    case ReadBestsMode::FillSelect:
    case ReadBestsMode::FillSelectFirst: {
        best::BestChoice choice;
        if (!combo || !store_.ReadBestChoice(name, mode == ReadBestsMode::FillSelectFirst, &choice)) return 0;
        for (size_t i = 0; i < choice.names.size(); ++i)
            SendMessageA(combo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(choice.names[i].c_str()));
        if (choice.selected < 0) return 0;
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(choice.selected), 0);
        LoadSelectedBest(combo);
        *record = std::move(choice.record);
        return 1;
    }
    }
    return 0;
}

SaveBestResult BestSettingsDialog::SaveBest(HWND owner, bool ask, SaveBestMode mode) {
    if (mode == SaveBestMode::Rebuild || mode == SaveBestMode::RebuildOnly) {
        bool changed = CollectTreeMarks();
        if (!changed && !state_.dirty) return SaveBestResult::Saved;
        state_.dirty = true;
    }
    if (mode == SaveBestMode::RebuildOnly) return SaveBestResult::Cancelled;
    if (ask && !store_.option(Option::AutoSave)) {
        switch (ShowMessage(owner, kSaveQuestion, MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDCANCEL: return SaveBestResult::Cancelled;
        case IDNO: return SaveBestResult::Declined;
        default: break;
        }
    }
    for (;;) {
        switch (store_.WriteBest(state_.edited, mode == SaveBestMode::Delete)) {
        case store::BestSave::Saved:
            state_.dirty = false;
            // The writer emptied the history; the player, if this is its
            // best, moves to the saved list before a song's end can store
            // its old bitmap.
            if (mode != SaveBestMode::Delete) host_->player().TakeSavedBest(state_.edited);
            return SaveBestResult::Saved;
        case store::BestSave::TooLarge:
            TellBestTooLarge(owner);
            return SaveBestResult::Failed;
        case store::BestSave::Failed:
            // Before the tree is set up the one save is the default best's.
            if (!AskRetryFailedSave(owner, treeShown_ ? SaveWait::Edit : SaveWait::Start)) return SaveBestResult::Failed;
            break;
        }
    }
}

void BestSettingsDialog::LoadSelectedBest(HWND combo) {
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    // A name the best file cannot hold (longer than 259 bytes) is not loaded.
    char name[MAX_PATH];
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0 || static_cast<size_t>(length) >= sizeof name) return;
    if (SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name)) == CB_ERR)
        return;
    state_.dirty = false;
    state_.edited = store_.FindBestInFile(name);
    if (state_.edited.IsNone()) state_.edited = best::BestRecord::ForName(name);
}

void BestSettingsDialog::ShowLoadedBest() {
    if (treeShown_) tree_.ShowTab(0);
}

bool BestSettingsDialog::CollectTreeMarks() { return window_ && tree_.Collect(); }

// --- the first best of an opening -------------------------------------------------

BestSettingsDialog::FirstBest BestSettingsDialog::LoadFirstOrDefaultBest(HWND combo, best::BestRecord *record,
                                                                      OtherHistories histories) {
    for (;;) {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        if (ReadBests(nullptr, ReadBestsMode::FillSelectFirst, combo, record)) return FirstBest::Loaded;
        best::BestFileState state =
            histories == OtherHistories::Clear ? store_.DeleteAllBests() : store_.ReadBestFileState();
        switch (state) {
        case best::BestFileState::NoBest:
            MakeDefaultBest(combo, record);
            return failed_ ? FirstBest::Gone : FirstBest::DefaultMade;
        case best::BestFileState::Bests:
            continue;  // a hold that passed meanwhile: the bests are there to read
        case best::BestFileState::Unreadable:
            break;
        }
        if (!AskRetryUnreadableBestFile(window_)) {
            // The program ends rather than go on without the user's bests.
            ShowWindow(window_, SW_HIDE);
            host_->RequestExit(ExitReason::UserGaveUp);
            return FirstBest::Gone;
        }
    }
}

// No best at all, and the cleared file says so: "すべてのMIDIファイル", the
// whole MIDI folder, becomes the only best.
void BestSettingsDialog::MakeDefaultBest(HWND combo, best::BestRecord *record) {
    state_.edited = best::BestRecord::Default();
    tree_.MarkWholeMidiFolder();
    // Written even when there is nothing to collect (no MIDI folder yet):
    // the dialog needs a best to show and to play.
    state_.dirty = true;
    if (SaveBest(window_, false, SaveBestMode::Rebuild) == SaveBestResult::Failed) {
        // Given up: nothing was written, and there is no best to edit.
        ShowWindow(window_, SW_HIDE);
        host_->RequestExit(ExitReason::UserGaveUp);
        failed_ = true;
        return;
    }
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    if (!ReadBests(nullptr, ReadBestsMode::FillSelectFirst, combo, record)) ReportFailure();
}

// --- the edited best and the best to play ------------------------------------------

void BestSettingsDialog::ShowBestToPlay() {
    const char *current = host_->player().CurrentBestName();
    SetDlgItemTextA(window_, IDC_PLAY_BEST, current ? current : "");
}

bool BestSettingsDialog::EditedIsCurrent() const {
    const char *current = host_->player().CurrentBestName();
    return current && !state_.edited.IsNone() && state_.edited.NameEquals(current);
}

std::string BestSettingsDialog::SelectedName() {
    HWND combo = Combo();
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    LRESULT length = index == CB_ERR ? CB_ERR : SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length < 0 || length >= MAX_PATH) return std::string();
    char name[MAX_PATH] = "";
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
    return name;
}

// The save of the edited best before another takes its place.
SaveBestResult BestSettingsDialog::LeaveBestSave() {
    bool wasCurrent = EditedIsCurrent();
    SaveBestResult result = SaveBest(window_, true, SaveBestMode::Rebuild);
    if (result == SaveBestResult::Saved && wasCurrent) state_.changes.Add(EditChange::PlayingBestSaved);
    return result;
}

// --- commands ------------------------------------------------------------------------------

void BestSettingsDialog::OnBestSelected() {
    SaveBestResult left = LeaveBestSave();
    HWND combo = Combo();
    switch (left) {
    case SaveBestResult::Failed:
    case SaveBestResult::Cancelled: {
        // Back to the best being edited, its changes still unsaved.
        LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(state_.edited.Name()));
        if (index != CB_ERR) {
            SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            return;
        }
        break;
    }
    default:
        break;
    }
    LoadSelectedBest(combo);
    ShowLoadedBest();
}

void BestSettingsDialog::OnSave() {
    if (SaveBest(window_, false, SaveBestMode::Rebuild) == SaveBestResult::Failed) return;
    if (EditedIsCurrent()) state_.changes.Add(EditChange::PlayingBestSaved);
}

void BestSettingsDialog::OnNewBest() {
    HWND combo = Combo();
    std::string name;
    if (!AskBestName(window_, combo, store_, &name)) return;
    SaveBestResult left = LeaveBestSave();
    if (left == SaveBestResult::Failed || left == SaveBestResult::Cancelled) return;
    LRESULT previous = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    LoadSelectedBest(combo);
    ShowLoadedBest();
    if (SaveBest(window_, false, SaveBestMode::AsIs) == SaveBestResult::Failed) {
        // The new best is not in the file: it leaves the list, and the best
        // it followed comes back as the file holds it.
        SendMessageA(combo, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(previous), 0);
        LoadSelectedBest(combo);
        ShowLoadedBest();
        return;
    }
    state_.changes.Add(EditChange::BestList);
}

void BestSettingsDialog::OnDeleteBest() {
    HWND combo = Combo();
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    if (count == 1) {
        ShowMessage(window_, kLastBest, MB_OK | MB_ICONERROR);
        return;
    }
    if (ShowMessage(window_, kDeleteQuestion, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    if (SaveBest(window_, false, SaveBestMode::Delete) == SaveBestResult::Failed) return;

    std::string deleted = SelectedName();
    std::string shown = ShownBestToPlay();
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    SendMessageA(combo, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    // The best that followed takes the place; after the last, the one before.
    if (index >= SendMessageA(combo, CB_GETCOUNT, 0, 0)) --index;
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    LoadSelectedBest(combo);
    ShowLoadedBest();

    if (SameName(deleted.c_str(), host_->player().CurrentBestName())) {
        // The player's best is gone: the one now selected must be confirmed.
        host_->player().SetCurrentBestName(SelectedName().c_str());
        RequireOk();
        playerWaits_ = true;
    }
    if (deleted == shown) {
        ShowBestToPlay();
        state_.changes.Add(EditChange::BestToPlay);
    }
    store_.DeleteHistory(deleted.c_str());
    state_.changes.Add(EditChange::BestList);
}

void BestSettingsDialog::OnChangeBestToPlay() {
    SetDlgItemTextA(window_, IDC_PLAY_BEST, SelectedName().c_str());
    state_.changes.Add(EditChange::BestToPlay);
}
