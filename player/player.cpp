// The player: playing the current best (start, stop, next, the end of a
// song, sleep and wake, previews, files handed over, the switch to another
// best), and its played history and random switch.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "player/player.h"
#include "utils/ansi_text.h"
#include "utils/message_box.h"

namespace {

// The player whose song or preview plays now.  The engine's end handlers
// carry no context: this is how they find whom to tell.
std::atomic<Player *> g_endPlayer{nullptr};

const char kNoMidiFiles[] =
    "このベストにはMIDIファイルがありません。\nほかのベストを指定してください。";
// After the folder or share out of reach.
const char kOutOfReach[] =
    " に接続できません。\n"
    "ドライブやネットワークに接続できたら、「再生」で続きから再生します。再生履歴はそのまま残ります。";

bool Sounds(PlayState state) { return state == PlayState::Playing || state == PlayState::PlayingHanded; }

}  // namespace

// One change of the player, from a public call to its return: however many
// steps it takes inside, the host hears of it once, at the end, and the
// options are read once.
class PlayerChange {
public:
    explicit PlayerChange(Player &player) : player_(player) {
        if (player_.changeDepth_++ != 0) return;
        player_.options_.reset();
        // A share that did not answer the last change may answer this one.
        ForgetPassedOver(&player_.songs_);
    }
    ~PlayerChange() {
        if (--player_.changeDepth_ != 0) return;
        player_.Report();
        player_.options_.reset();
    }
    PlayerChange(const PlayerChange &) = delete;
    PlayerChange &operator=(const PlayerChange &) = delete;

private:
    Player &player_;
};

namespace {

// Declares what runs in its scope an automatic change, for the boxes it shows.
class AutomaticChange {
public:
    explicit AutomaticChange(PlayCause &cause) : cause_(cause), previous_(cause) { cause = PlayCause::Automatic; }
    ~AutomaticChange() { cause_ = previous_; }
    AutomaticChange(const AutomaticChange &) = delete;
    AutomaticChange &operator=(const AutomaticChange &) = delete;

private:
    PlayCause &cause_;
    PlayCause previous_;
};

}  // namespace

Player::Player(Store &store) : files_(std::in_place, store), engine_(&korvel_), store_(&*files_) {}

Player::Player(PlayerEngine &engine, PlayerStore &store) : engine_(&engine), store_(&store) {}

Player::~Player() {
    Player *self = this;
    g_endPlayer.compare_exchange_strong(self, nullptr);
}

bool Player::SongPlaying() const {
    PlayState state = mode_.state == PlayState::Previewing ? mode_.underPreview : mode_.state;
    return Sounds(state) || state == PlayState::Suspended;
}

void Player::SetCurrentBestName(const char *name) {
    hasBestName_ = name != nullptr;
    bestName_ = name ? name : "";
}

const PlayerOptions &Player::Options() {
    if (!options_) options_ = store_->Options();
    return *options_;
}

void Player::Report() {
    PlayerReport report;
    report.state = mode_.state;
    report.sounding = sounding_;
    report.songPlaying = SongPlaying();
    report.tip = noSong_ ? nullptr : CurrentSongPath();
    bool playing = mode_.state == PlayState::Playing || mode_.state == PlayState::PlayingHanded;
    if (songBegan_ && playing) {
        report.songBegan = true;
        report.songTitle = begunTitle_.empty() ? nullptr : begunTitle_.c_str();
        report.bestName = mode_.state == PlayState::Playing ? CurrentBestName() : nullptr;
    }
    songBegan_ = false;
    host_->ShowPlayer(report);
}

// The engine library keeps the playback owner for its hook; it is told
// whenever it changes.
void Player::TellPlaybackOwner(HWND owner, int unusedFlag) {
    if (owner == toldPlaybackOwner_) return;
    toldPlaybackOwner_ = owner;
    engine_->SetPlaybackOwner(owner, unusedFlag);
}

void Player::EnterStopped() {
    TellPlaybackOwner(nullptr, 1);
    sounding_ = false;
    ++generation_;
    engine_->StopSong();
    mode_ = Mode();
}

// The song and the preview alike: a shortcut is resolved to its target, the
// file opened and started, with onEnd as the engine's end handler.
Player::SongStart Player::StartFile(const char *path, KorvelEndHandler onEnd, std::string *opened) {
    char target[KORVEL_PATH_BUFFER];
    const char *file = path;
    if (ansi::EndsWithNoCase(path, ".lnk")) {
        if (!engine_->ResolveShortcut(path, target)) return SongStart::Unresolved;
        target[sizeof target - 1] = '\0';
        file = target;
    }
    if (opened) *opened = file;
    g_endPlayer = this;
    return engine_->OpenSong(file, Options().readAtOnce) && engine_->StartSong(onEnd) ? SongStart::Started
                                                                                     : SongStart::Failed;
}

// checked: the selection has just found the best's current song to exist.
Player::StartResult Player::StartCurrentSong(bool checked) {
    bool handed = !handedFiles_.empty();
    handedFileCurrent_ = handed;
    const char *path = handed ? handedFiles_.front().c_str() : songs_.currentSong;
    if (handed) noSong_ = false;  // the tip names it
    if (!path || ((handed || !checked) && engine_->FindPath(path) != store::PathFound::File)) return StartResult::Skip;
    ++generation_;
    std::string opened;
    switch (StartFile(path, OnSongEnd, &opened)) {
    case SongStart::Started:
        TellPlaybackOwner(nullptr, 1);
        sounding_ = true;
        mode_ = Mode();
        mode_.state = handed ? PlayState::PlayingHanded : PlayState::Playing;
        if (opened != lastBegun_) {
            lastBegun_ = opened;
            songBegan_ = true;
            begunTitle_ = engine_->SongTitle();
        }
        // A handed-over file is no entry of the best: its history stays.
        if (!handed) SaveHistory(HistorySave::Always);
        return StartResult::Started;
    case SongStart::Unresolved: return StartResult::Skip;
    case SongStart::Failed: break;
    }
    int report = cause_ == PlayCause::Automatic ? KORVEL_REPORT_FOREGROUND : 0;
    if (!engine_->ReportPlayError(report, host_->Window())) return StartResult::GaveUp;
    // Only the file is at fault.  One that exists and cannot be read now (a
    // file offline, held or without access) is passed over and left unplayed.
    if (!handed) PassOverUnopened(&songs_, this, opened.c_str(), engine_->FindReadableFile(opened.c_str()));
    return StartResult::Skip;
}

bool Player::Select(bool random) {
    if (SelectNextSong(&songs_, this, random)) {
        noSong_ = false;
        return true;
    }
    NothingToPlay();
    return false;
}

void Player::NothingToPlay() {
    if (ReachFailed(songs_))
        host_->ShowBox((songs_.passed.place + kOutOfReach).c_str(), MB_OK | MB_ICONERROR | BoxFlags());
    else
        host_->ShowBox(kNoMidiFiles, MB_OK | MB_ICONWARNING | BoxFlags());
    noSong_ = true;  // the tray tip goes back to the product name
}

// The handed-over file in front is done with (played, skipped or passed
// over with next).  After the last one the best's song is current again.
void Player::DropHandedFile() {
    handedFiles_.pop_front();
    if (handedFiles_.empty()) handedFileCurrent_ = false;
}

int Player::PlayCurrent(bool checked) {
    // Entries that cannot be played are passed over in list order.  Each
    // attempt sets its entry played, so within two passes every entry has
    // been tried since the history was last cleared; a best whose files
    // all exist but none of which plays (not MIDI files) ends there instead
    // of clearing its history and trying again for ever.
    const int64_t attemptsLeft = 2 * static_cast<int64_t>(songs_.songCount) + 1;
    for (int64_t attempt = 0;;) {
        bool handed = !handedFiles_.empty();
        StartResult result = StartCurrentSong(checked);
        checked = false;
        if (result != StartResult::Skip) return 1;
        if (handed) {
            // Skipped as a best's song would be, without counting against the best.
            EnterStopped();
            DropHandedFile();
            // The best goes on where it was; one with no song chosen yet
            // starts at its next song, and without a best playback ends.
            if (handedFiles_.empty() && !songs_.currentSong) {
                if (songs_.songCount == 0 || !Select(Options().random)) return 0;
                checked = true;
            }
            continue;
        }
        if (songs_.songCount > 0 && attempt++ >= attemptsLeft) {
            EnterStopped();
            NothingToPlay();
            return 0;
        }
        EnterStopped();
        if (!Select(/*random=*/false)) return 0;
        checked = true;
    }
}

int Player::PlayCurrentSong() {
    PlayerChange change(*this);
    return PlayCurrent(false);
}

void Player::StopPlayback() {
    PlayerChange change(*this);
    EnterStopped();
    lastBegun_.clear();  // played again, it begins anew
}

void Player::RestartCurrentSong() {
    PlayerChange change(*this);
    EnterStopped();
    PlayCurrent(false);
}

SongOrder Player::ChosenOrder() { return Options().random ? SongOrder::Random : SongOrder::InOrder; }

int Player::NextSong(SongOrder order, NextChoice choice) {
    PlayerChange change(*this);
    EnterStopped();
    if (choice == NextChoice::Next && handedFileCurrent_) {
        DropHandedFile();
        // After the handed-over files the best's own song plays again from
        // its start: they interrupted it.  Without one the next is chosen.
        if (!handedFiles_.empty() || songs_.currentSong) return PlayCurrent(false);
        if (songs_.songCount == 0) return 0;  // no best to go on with
    }
    if (choice == NextChoice::Next && !Select(order == SongOrder::Random)) return 0;
    return PlayCurrent(choice == NextChoice::Next);
}

int Player::PlayNextSong() {
    PlayerChange change(*this);
    return NextSong(ChosenOrder(), NextChoice::Next);
}

void Player::SuspendPlayback() {
    if (!SongPlaying()) return;
    PlayerChange change(*this);
    // Still meant to play, so that the resume knows to play again.
    TellPlaybackOwner(nullptr, 1);
    sounding_ = false;
    ++generation_;
    engine_->StopSong();
    mode_ = Mode();
    mode_.state = PlayState::Suspended;
}

void Player::ResumePlayback() {
    if (!SongPlaying()) return;
    AutomaticChange automatic(cause_);
    PlayerChange change(*this);
    PlayCurrent(false);
}

void OnSongEnd(int) {
    // Called on the engine's thread: only the generation and the window
    // handle are read here.
    Player *player = g_endPlayer;
    if (!player) return;
    if (HWND window = player->host_->Window()) PostMessageA(window, kMsgSongEnded, player->generation_, 0);
}

void Player::HandleSongEnded(WPARAM generation) {
    // A song started or stopped since this end was posted.
    if (generation != generation_ || !Sounds(mode_.state)) return;
    AutomaticChange automatic(cause_);
    PlayerChange change(*this);
    NextSong(ChosenOrder(), Options().repeatOne ? NextChoice::Same : NextChoice::Next);
}

void Player::StopForPreview(HWND window) {
    PlayerChange change(*this);
    ++previewGeneration_;
    PlayState under = mode_.state == PlayState::Previewing ? mode_.underPreview : mode_.state;
    TellPlaybackOwner(window, 1);
    sounding_ = false;
    ++generation_;
    engine_->StopSong();
    mode_.state = PlayState::Previewing;
    mode_.previewWindow = window;
    mode_.underPreview = under;
}

bool Player::PlayPreview(const char *path, HWND window) {
    PlayerChange change(*this);
    StopForPreview(window);
    if (StartFile(path, OnPreviewEnd) != SongStart::Started) return false;
    sounding_ = true;
    return true;
}

void OnPreviewEnd(int value) {
    Player *player = g_endPlayer;
    if (!player) return;
    if (HWND window = player->host_->Window())
        PostMessageA(window, kMsgPreviewEnded, player->previewGeneration_, value);
}

void Player::HandlePreviewEnded(WPARAM generation, LPARAM value) {
    // Another preview started, or this one was ended otherwise, since this
    // end was posted.
    if (generation != previewGeneration_ || mode_.state != PlayState::Previewing) return;
    AutomaticChange automatic(cause_);
    ResumeAfterPreview(value != 0 ? AfterPreview::Resume : AfterPreview::Stay);
}

void Player::ResumeAfterPreview(AfterPreview after) {
    PlayerChange change(*this);
    ++previewGeneration_;
    engine_->StopSong();
    ++generation_;
    TellPlaybackOwner(nullptr, 0);
    sounding_ = false;
    // Back to what the preview interrupted; a song meant to play starts
    // again, or stays meant to play for a later resume.
    PlayState under = mode_.state == PlayState::Previewing ? mode_.underPreview : mode_.state;
    mode_ = Mode();
    mode_.state = under;
    if (after == AfterPreview::Resume && SongPlaying()) PlayCurrent(false);
}

void Player::QueueHandedFiles(std::vector<std::string> files, HandedQueue how) {
    if (files.empty()) return;
    // Joining an empty queue is a fresh start all the same: what came before
    // has played, and these play now.
    if (how == HandedQueue::Replace || handedFiles_.empty()) {
        handedFiles_.clear();
        handedFileCurrent_ = false;
    }
    // The same file from two starts (a double click taken twice) plays once.
    for (std::string &file : files) {
        if (handedFiles_.size() >= kMaxHandedFiles) break;
        bool queued = std::any_of(handedFiles_.begin(), handedFiles_.end(), [&](const std::string &other) {
            return ansi::EqualNoCase(other.c_str(), file.c_str());
        });
        if (!queued) handedFiles_.push_back(std::move(file));
    }
}

int Player::PlayHandedFiles() {
    if (!HandedFilesWaiting()) return 1;
    PlayerChange change(*this);
    EnterStopped();
    return PlayCurrent(false);
}

const char *Player::CurrentSongPath() const {
    return handedFileCurrent_ ? handedFiles_.front().c_str() : songs_.currentSong;
}

void Player::UnloadBest() { LoadPlayerBest(&songs_, best::BestRecord()); }

bool Player::LoadCurrentBest() {
    const char *name = CurrentBestName();
    best::BestRecord record = name ? store_->FindBest(name) : best::BestRecord();
    if (record.IsNone()) return false;
    LoadPlayerBest(&songs_, std::move(record));
    LoadHistory();
    return true;
}

void Player::SwitchBest(AfterSwitch after, HandedFiles handed) {
    PlayerChange change(*this);
    if (handed == HandedFiles::Drop) {
        handedFiles_.clear();
        handedFileCurrent_ = false;
    }
    UnloadBest();
    const char *name = CurrentBestName();
    best::BestRecord record = name ? store_->FindBest(name) : best::BestRecord();
    if (record.IsNone()) {
        ReportUnexpectedError(host_->Window(), *host_);
        return;
    }
    host_->ShowCurrentBest();
    store_->WritePlayBest(name);
    LoadPlayerBest(&songs_, std::move(record));
    LoadHistory();
    if (after != AfterSwitch::Play || mode_.state == PlayState::Previewing) return;
    // Kept files play first, and one that plays goes on: the new best's
    // first song is chosen once they are done.
    if (handedFileCurrent_ && SongPlaying()) return;
    if (HandedFilesWaiting())
        PlayHandedFiles();
    else
        PlayNextSong();
}

void Player::TakeSavedBest(const best::BestRecord &saved) {
    const char *name = HistoryBestName();
    if (!name || saved.IsNone() || !saved.NameEquals(name)) return;
    PlayerChange change(*this);
    best::BestRecord copy = saved;
    copy.Bytes();  // contiguous, as a record read from the file is
    MovePlayerBest(&songs_, std::move(copy));
    // The writer emptied the value: this bitmap is the saved list's.
    SaveHistory(HistorySave::Always);
}

void Player::ReloadCurrentBest() {
    PlayerChange change(*this);
    const char *name = HistoryBestName();
    best::BestRecord record = name ? store_->FindBest(name) : best::BestRecord();
    if (record.IsNone())
        SwitchBest(AfterSwitch::Wait, HandedFiles::Keep);
    else
        TakeSavedBest(record);
}

bool Player::ChooseBest(const char *name) {
    const char *current = CurrentBestName();
    if (!name || (current && bestName_ == name)) return false;
    PlayerChange change(*this);
    SaveHistory(HistorySave::IfPresent);
    SetCurrentBestName(name);
    // The chosen best takes playback back from a preview.
    if (mode_.state == PlayState::Previewing) {
        PlayState under = mode_.underPreview;
        mode_ = Mode();
        mode_.state = under;
    }
    TellPlaybackOwner(nullptr, 1);
    SwitchBest(AfterSwitch::Play, HandedFiles::Drop);
    return true;
}

// The played history and the random switch.  The history's registry value
// is the store's to read and write.

// The bitmap belongs to the loaded record; while the current best name names
// another best (the best settings dialog changed it, the new best is not
// loaded yet) it must not be stored under that name.
const char *Player::HistoryBestName() const {
    const char *name = CurrentBestName();
    return name && songs_.best.NameEquals(name) ? name : nullptr;
}

store::PathFound Player::FindPath(const char *path) { return engine_->FindPath(path); }

int Player::LocalMilliseconds() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wMilliseconds;
}

bool Player::SkipShortcuts() { return Options().skipShortcuts; }

void Player::SaveHistory(const unsigned char *bitmap, size_t size) {
    if (const char *name = HistoryBestName()) store_->WriteHistory(name, bitmap, size);
}

void Player::SetRandomMode(bool on, RandomChange change) {
    store_->SetRandom(on, change == RandomChange::Switch);
    options_.reset();
    if (change == RandomChange::ShowOnly) return;
    // Memory only; the next song's start saves it.
    AdjustHistoryForRandomSwitch(&songs_, on);
}

void Player::ClearHistory() { ::ClearHistory(&songs_, this); }

void Player::SaveHistory(HistorySave when) {
    const char *name = HistoryBestName();
    if (!name) return;
    if (when == HistorySave::IfPresent && !store_->HistoryPresent(name)) return;
    store_->WriteHistory(name, songs_.history.data(), songs_.history.size());
}

void Player::LoadHistory() {
    const char *name = CurrentBestName();
    size_t size = songs_.history.size();
    if (!name || size == 0) return;
    // A larger value cannot belong to this list; every song stays unplayed.
    std::vector<unsigned char> value = store_->ReadHistory(name, size);
    if (!value.empty()) LoadHistoryValue(&songs_, value.data(), value.size());
}
