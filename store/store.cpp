#include "store/store.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/korvel.h"
#include "store/album_names.h"
#include "store/best_file.h"
#include "store/data_folder_disk.h"
#include "store/file_io.h"
#include "store/registry_layout.h"
#include "utils/code_page.h"
#include "utils/path_rules.h"
#include "utils/ansi_text.h"

Store::Store(const RegistryRoot &root) : root_(root) { SetSettingsKey(root_.program.c_str()); }

bool Store::UseDataFolder(const char *folder) {
    store::DataFolder files;
    if (!folder || !store::FormDataFolder(folder, &files)) return false;
    UseDataFolder(files);
    return true;
}

void Store::UseDataFolder(const store::DataFolder &files) {
    ansi::CopyFit(dataFolder_, sizeof dataFolder_, files.folder.c_str());
    ansi::CopyFit(albumFile_, sizeof albumFile_, files.albumFile.c_str());
    ansi::CopyFit(bestFile_, sizeof bestFile_, files.bestFile.c_str());
}

LoadResult Store::LoadSettings() {
    unsigned char stored[kSettingsSize] = {};
    DWORD size = ReadValue(ProgramKey(), kValueSettings, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER);
    if (!StoredSettingsFit(size) ||
        ReadValue(ProgramKey(), kValueSettings, stored, sizeof stored, REG_BINARY, HKEY_CURRENT_USER) == 0)
        return LoadResult::NotInstalled;
    settings_ = Settings::FromBlock(stored, sizeof stored);
    settings_.setOption(Option::RepeatOne, false);
    settings_.engineVariant = EngineVariant();
    ReadMediaKeys();
    ReadLoopPlay();
    ReadSongNotice();
    return LoadResult::Ready;
}

namespace {

// The DWORD values beside the settings block ("MediaKeys", "Loop",
// "SongNotice").  A value of another type or size reads as missing.
DWORD ReadDwordValue(const char *key, const char *name, DWORD missing) {
    DWORD value = missing;
    if (ReadValue(key, name, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER) != sizeof value) value = missing;
    return value;
}

void WriteDwordValue(const char *key, const char *name, DWORD value) {
    WriteValue(key, name, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
}

}  // namespace

// Missing, the media keys stay on.
void Store::ReadMediaKeys() { settings_.mediaKeys = ReadDwordValue(ProgramKey(), kValueMediaKeys, 1) != 0; }

void Store::ReadLoopPlay() {
    DWORD value = ReadDwordValue(ProgramKey(), kValueLoop, kLoopTwiceAndFade);
    settings_.loopPlay = static_cast<LoopPlayUse>(UsableLoopValue(value));
}

void Store::ReadSongNotice() { settings_.songNotice = ReadDwordValue(ProgramKey(), kValueSongNotice, 0) != 0; }

void Store::SaveSettings() {
    WriteValue(ProgramKey(), kValueSettings, settings_.block(), kSettingsSize, REG_BINARY, HKEY_CURRENT_USER);
}

void Store::UseSettings(const unsigned char *block, size_t size) { settings_ = Settings::FromBlock(block, size); }

bool Store::SetOption(Option which, bool on) {
    settings_.setOption(which, on);
    Tell(SettingsChange::Options);
    return on;
}

bool Store::SetHotkeys(unsigned next, unsigned menu) {
    const std::pair<HotkeyIndex, unsigned> hotkeys[] = {{HotkeyIndex::Next, next & 0xFFFFu},
                                                         {HotkeyIndex::Menu, menu & 0xFFFFu}};
    bool changed = false;
    for (const auto &[which, hotkey] : hotkeys) {
        if (hotkey != settings_.hotkey(which)) changed = true;
        settings_.setHotkey(which, hotkey);
    }
    if (changed) Tell(SettingsChange::Hotkeys);
    return changed;
}

bool Store::SetMediaKeys(bool on) {
    if (on == settings_.mediaKeys) return false;
    WriteDwordValue(ProgramKey(), kValueMediaKeys, on ? 1 : 0);
    settings_.mediaKeys = on;
    Tell(SettingsChange::MediaKeys);
    return true;
}

bool Store::SetSongNotice(bool on) {
    if (on == settings_.songNotice) return false;
    WriteDwordValue(ProgramKey(), kValueSongNotice, on ? 1 : 0);
    settings_.songNotice = on;
    Tell(SettingsChange::SongNotice);
    return true;
}

// Written at once, as "MediaKeys" is; the engine reads it at the next song.
bool Store::SetLoopPlay(LoopPlayUse use) {
    if (use == settings_.loopPlay) return false;
    WriteDwordValue(ProgramKey(), kValueLoop, static_cast<DWORD>(use));
    settings_.loopPlay = use;
    Tell(SettingsChange::LoopPlay);
    return true;
}

void Store::AddListener(SettingsListener *listener) { listeners_.push_back(listener); }

void Store::RemoveListener(SettingsListener *listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void Store::Tell(SettingsChange change) {
    // A copy: a listener may leave while it is told.
    std::vector<SettingsListener *> listeners = listeners_;
    for (SettingsListener *listener : listeners) listener->SettingsChanged(settings_, change);
}

void Store::WriteHookValue(HHOOK hook) {
    DWORD value = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(hook));
    WriteValue(ProgramKey(), kValueHook, &value, sizeof value, REG_DWORD, HKEY_CURRENT_USER);
}

std::string Store::FailureLogFile() const {
    std::string path;
    if (!dataFolder_[0] || !paths::JoinFitting(dataFolder_, store::kFailureLogName, &path)) return {};
    return path;
}

best::BestRecord Store::FindBestInFile(const char *name) const {
    std::vector<unsigned char> bytes;
    if (!bestfile::ReadBestBytes(bestFile_, &bytes)) return best::BestRecord();
    return best::FindBest(bytes.data(), bytes.size(), name);
}

bool Store::ReadBestNames(std::vector<std::string> *names) const {
    std::vector<unsigned char> bytes;
    if (!bestfile::ReadBestBytes(bestFile_, &bytes)) return false;
    *names = best::ListBestNames(bytes.data(), bytes.size());
    return true;
}

bool Store::ReadBestChoice(const char *name, bool firstByDefault, best::BestChoice *choice) const {
    std::vector<unsigned char> bytes;
    if (!bestfile::ReadBestBytes(bestFile_, &bytes)) return false;
    *choice = best::ChooseBest(bytes.data(), bytes.size(), name, firstByDefault);
    return true;
}

store::BestSave Store::WriteBest(const best::BestRecord &edited, bool remove) {
    if (edited.IsNone() || !bestFile_[0] || !dataFolder_[0]) return store::BestSave::Failed;
    fileio::WriterLock lock;
    if (!bestfile::TakeWriterLock(bestFile_, &lock) || bestfile::TakeBackLeftBestFile(bestFile_) != bestfile::TakeBack::Done)
        return store::BestSave::Failed;

    for (int round = 0; round < bestfile::kMergeRounds; ++round) {
        // Stamped before it is read: a file replaced in between is read again.
        fileio::FileStamp read;
        if (!fileio::StampFile(bestFile_, &read)) return store::BestSave::Failed;
        // A missing file and an empty one are both a file without bests.
        std::vector<unsigned char> old;
        switch (fileio::ReadWholeFile(bestFile_, &old)) {
        case fileio::FileRead::Failed: return store::BestSave::Failed;
        case fileio::FileRead::Missing: break;
        case fileio::FileRead::Read:
            if (!fileio::MakeWritable(bestFile_)) return store::BestSave::Failed;
            break;
        }

        std::vector<unsigned char> content;
        best::MergeReport report;
        switch (best::MergeBestFile(old.data(), old.size(), edited, remove ? 0 : 1, &content, &report)) {
        case best::MergeResult::Merged: break;
        case best::MergeResult::NoRecord: return store::BestSave::Failed;
        case best::MergeResult::TooLarge: return store::BestSave::TooLarge;
        }
        // Damaged records cannot be written back; the old file keeps them.
        bool keepOld = report.damagedRecords > 0 || report.lostBytes > 0;
        switch (bestfile::ReplaceBestFile(bestFile_, content, keepOld ? &old : nullptr, read)) {
        case bestfile::Replacement::Changed: continue;
        case bestfile::Replacement::Failed: return store::BestSave::Failed;
        case bestfile::Replacement::Replaced: break;
        }
        // The entry numbers change with the list, so the best's played
        // history starts afresh, now that the new list is the stored one; an
        // empty value also tells a later best switch not to write the old
        // bitmap back.
        char name[MAX_PATH];
        ansi::CopyFit(name, sizeof name, edited.Name());
        Store::EmptyHistory(name);
        bestfile::RemoveLeftTemporaries(bestFile_);
        return store::BestSave::Saved;
    }
    return store::BestSave::Failed;
}

bool Store::ReadPlayBest(std::string *name) const {
    DWORD size = ReadValue(ProgramKey(), kValuePlayBest, nullptr, 0, REG_SZ, HKEY_CURRENT_USER);
    if (size == 0 || size > paths::kPathBuffer) return false;
    char value[paths::kPathBuffer];
    if (!ReadValue(ProgramKey(), kValuePlayBest, value, sizeof value, REG_SZ, HKEY_CURRENT_USER)) return false;
    *name = value;
    return true;
}

void Store::WritePlayBest(const char *name) {
    WriteValue(ProgramKey(), kValuePlayBest, name, static_cast<DWORD>(std::strlen(name) + 1), REG_SZ,
               HKEY_CURRENT_USER);
}

void Store::ReadMidiFolder(char *folder, size_t size) const {
    folder[0] = '\0';
    ReadValue(ProgramKey(), kValueRoot, folder, static_cast<DWORD>(size), REG_SZ, HKEY_CURRENT_USER);
}

void Store::WriteMidiFolder(const char *folder) {
    WriteValue(ProgramKey(), kValueRoot, folder, static_cast<DWORD>(std::strlen(folder) + 1), REG_SZ,
               HKEY_CURRENT_USER);
}

store::Resolution Store::LoadDataFolder(std::string *unreachable) {
    // A "DataPath" that is there but cannot be used (another type, too long
    // for any path buffer, an expansion that does not fit) is the user's
    // folder all the same: taken for none, the program's folder would take
    // its place and the default best every history.  It is reported as a
    // folder out of reach, named by where it is kept, and never replaced.
    std::string dataPath;
    datadisk::StoredText stored = datadisk::ReadStoredText(ProgramKey(), kValueDataPath, paths::kPathBuffer, &dataPath);
    if (stored == datadisk::StoredText::Unusable) {
        if (unreachable) *unreachable = std::string("HKEY_CURRENT_USER\\") + ProgramKey() + " の " + kValueDataPath;
        return store::Resolution::Unreachable;
    }
    // The program's own path as the code page spells it; the start has
    // ended already where it cannot be spelt.
    std::string module;
    codepage::ProgramFile(&module);

    store::DataFolder folder;
    store::WritableFallback fallback;
    fallback.writable = datadisk::CanCreateFileIn;
    fallback.makeFolder = datadisk::MakeFolder;
    fallback.localFolder = datadisk::LocalDataFolder();
    store::Resolution resolution =
        store::ResolveDataFolder(stored == datadisk::StoredText::Read ? dataPath.c_str() : nullptr,
                                 module.empty() ? nullptr : module.c_str(), fileio::FindFile, &folder, fallback);
    if (resolution == store::Resolution::Unreachable && unreachable) *unreachable = folder.folder;
    if (resolution != store::Resolution::Resolved) return resolution;
    // Resolution keeps every path within the buffers.
    ansi::CopyFit(dataFolder_, sizeof dataFolder_, folder.folder.c_str());
    ansi::CopyFit(albumFile_, sizeof albumFile_, folder.albumFile.c_str());
    ansi::CopyFit(bestFile_, sizeof bestFile_, folder.bestFile.c_str());
    if (folder.rewriteDataPath)
        WriteValue(ProgramKey(), kValueDataPath, dataFolder_, static_cast<DWORD>(folder.folder.size() + 1),
                   REG_SZ, HKEY_CURRENT_USER);
    TakeBackBestFileAtStart();
    return resolution;
}

bool Store::IsDataFolder(const char *folder) const {
    if (!folder[0] || !dataFolder_[0]) return false;
    std::string chosen = datadisk::CanonicalFolder(folder);
    std::string current = datadisk::CanonicalFolder(dataFolder_);
    return ansi::EqualNoCase(chosen.c_str(), current.c_str()) || datadisk::SameFolderOnDisk(chosen, current);
}

store::DataMove Store::MoveDataFolder(const store::DataFolder &to) {
    if (to.folder.empty() || to.albumFile.size() >= paths::kPathBuffer || to.bestFile.size() >= paths::kPathBuffer)
        return store::DataMove::Undone;
    // Moving the files onto themselves would only set them aside.
    if (IsDataFolder(to.folder.c_str())) return store::DataMove::Moved;
    store::DataFolder from;
    from.folder = dataFolder_;
    from.albumFile = albumFile_;
    from.bestFile = bestFile_;
    // The paths follow "DataPath": where it names the new folder, the files
    // went there, seen or not.
    bool committed = false;
    store::DataMove result = store::MoveDataFiles(from, to, &fileio::DiskFiles(), [this, &to, &committed] {
        return committed = datadisk::WriteDataPath(ProgramKey(), to.folder);
    });
    if (!committed) return result;
    ansi::CopyFit(dataFolder_, sizeof dataFolder_, to.folder.c_str());
    ansi::CopyFit(albumFile_, sizeof albumFile_, to.albumFile.c_str());
    ansi::CopyFit(bestFile_, sizeof bestFile_, to.bestFile.c_str());
    return result;
}

store::FileFound Store::FindDataFilesForMove(const store::DataFolder &to, std::string *unreachable) const {
    if (datadisk::FindBothDataFiles(albumFile_, bestFile_) == store::FileFound::Unknown) {
        *unreachable = dataFolder_;
        return store::FileFound::Unknown;
    }
    store::FileFound target = datadisk::FindBothDataFiles(to.albumFile.c_str(), to.bestFile.c_str());
    if (target == store::FileFound::Unknown) *unreachable = to.folder;
    return target;
}

bool Store::UseFoundDataFolder(const store::DataFolder &to) {
    if (to.folder.empty() || to.albumFile.size() >= paths::kPathBuffer || to.bestFile.size() >= paths::kPathBuffer ||
        !datadisk::WriteDataPath(ProgramKey(), to.folder))
        return false;
    UseDataFolder(to);
    return true;
}

bool Store::CountBests(const char *bestFile, size_t *count) {
    *count = 0;
    std::vector<unsigned char> bytes;
    switch (fileio::ReadWholeFile(bestFile, &bytes)) {
    case fileio::FileRead::Missing: return true;
    case fileio::FileRead::Failed: return false;
    case fileio::FileRead::Read: break;
    }
    *count = best::ListBestNames(bytes.data(), bytes.size()).size();
    return true;
}

void Store::WriteHistory(const char *name, const unsigned char *bitmap, size_t size) {
    WriteValue(HistoryKey(), name, bitmap, static_cast<DWORD>(size), REG_BINARY, HKEY_CURRENT_USER);
}

void Store::EmptyHistory(const char *name) { WriteValue(HistoryKey(), name, "", 0, REG_BINARY, HKEY_CURRENT_USER); }

std::vector<unsigned char> Store::ReadHistory(const char *name, size_t largest) const {
    DWORD stored = ReadValue(HistoryKey(), name, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER);
    if (stored == 0 || stored > largest) return {};
    std::vector<unsigned char> value(stored);
    value.resize(ReadValue(HistoryKey(), name, value.data(), stored, REG_BINARY, HKEY_CURRENT_USER));
    return value;
}

bool Store::HistoryPresent(const char *name) const {
    return ReadValue(HistoryKey(), name, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER) != 0;
}

void Store::DeleteHistory(const char *name) { DeleteValue(HistoryKey(), name, HKEY_CURRENT_USER); }

best::BestFileState Store::ReadBestFileState() const {
    std::vector<unsigned char> bytes;
    return bestfile::JudgeBestBytes(bestFile_, &bytes);
}

void Store::TakeBackBestFileAtStart() {
    // Most starts find KORVEL.dat, and need no lock (which a folder that
    // cannot be written would keep them waiting for).  Another copy saving
    // now puts its file in place itself.
    std::vector<std::string> names;
    if (fileio::FindFile(bestFile_) != store::FileFound::None ||
        (bestfile::ListWriterTemporaries(bestFile_, &names) && names.empty()))
        return;
    fileio::WriterLock lock;
    if (bestfile::TakeWriterLock(bestFile_, &lock)) bestfile::TakeBackLeftBestFile(bestFile_);
}

best::BestFileState Store::DeleteAllBests() {
    // A writer of another copy may be between deleting KORVEL.dat and putting
    // its new one in place, or may have been cut off there.
    fileio::WriterLock lock;
    if (bestFile_[0]) {
        if (!bestfile::TakeWriterLock(bestFile_, &lock) || bestfile::TakeBackLeftBestFile(bestFile_) != bestfile::TakeBack::Done)
            return best::BestFileState::Unreadable;
    }
    // Judged on the very bytes that are set aside: the reader's "no best" a
    // moment ago may have been a hold that has passed since, or a failure.
    std::vector<unsigned char> old;
    best::BestFileState state = bestfile::JudgeBestBytes(bestFile_, &old);
    if (state != best::BestFileState::NoBest) return state;
    RegDeleteKeyA(HKEY_CURRENT_USER, HistoryKey());
    // A file without a valid best may still hold the user's bests behind
    // damage: it is set aside whole rather than deleted.  Nothing but zero
    // bytes (an empty file, the end marker alone) holds nothing to keep, and
    // must not take the place of a KORVEL.bak that does.
    if (std::all_of(old.begin(), old.end(), [](unsigned char byte) { return byte == 0; })) {
        fileio::RemoveFile(bestFile_);
        return state;
    }
    char backup[MAX_PATH];
    if (!bestfile::BesideBestFile(bestFile_, bestfile::kBackupName, backup)) return state;
    fileio::MakeWritable(backup);
    fileio::ReplaceFile(bestFile_, backup);
    return state;
}

std::string Store::ReadAlbumName(const char *folder) const { return albumfile::ReadAlbumNameIn(albumFile_, folder); }

bool Store::WriteAlbumName(const char *folder, const char *name) {
    return albumfile::WriteAlbumNameIn(albumFile_, folder, name);
}

bool Store::DeleteAlbumName(const char *folder) {
    if (albumfile::WriteAlbumNameIn(albumFile_, folder, nullptr)) return true;
    // A folder without a name had nothing to take away, even where the file
    // cannot be written (a read-only data folder, say).  A file that cannot
    // be read now may hold one all the same.
    std::vector<unsigned char> bytes;
    fileio::FileRead read = albumFile_[0] ? fileio::ReadWholeFile(albumFile_, &bytes) : fileio::FileRead::Failed;
    return read == fileio::FileRead::Missing || (read == fileio::FileRead::Read && ReadAlbumName(folder).empty());
}
