#include "player/song_selection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "utils/ansi_text.h"
#include "utils/path_rules.h"

namespace {

// The history needs (count + 7) / 8 bytes in a signed 32-bit song count.
constexpr uint32_t kMaxSongCount = INT32_MAX - 7;

size_t HistoryBytes(int32_t songCount) { return songCount > 0 ? (static_cast<size_t>(songCount) + 7) / 8 : 0; }

bool HasSongs(const BestSongs &songs) {
    return songs.songCount > 0 && songs.history.size() == HistoryBytes(songs.songCount) &&
           songs.entryOffsets.size() == static_cast<size_t>(songs.songCount);
}

void MarkPlayed(BestSongs *songs, int32_t entry) {
    songs->history[entry / 8] |= static_cast<unsigned char>(1u << (entry % 8));
}

bool Bit(const std::vector<unsigned char> &bits, int32_t entry) {
    return entry >= 0 && static_cast<size_t>(entry / 8) < bits.size() && ((bits[entry / 8] >> (entry % 8)) & 1);
}

bool IsPassed(const BestSongs &songs, int32_t entry) { return Bit(songs.passed.entries, entry); }

void PassOver(BestSongs *songs, int32_t entry) {
    PassedOver &passed = songs->passed;
    if (passed.entries.size() != songs->history.size()) passed.entries.assign(songs->history.size(), 0);
    if (IsPassed(*songs, entry)) return;
    passed.entries[entry / 8] |= static_cast<unsigned char>(1u << (entry % 8));
    ++passed.count;
}

// Entries neither played nor passed over.
int32_t CountOpen(const BestSongs &songs) {
    int32_t open = CountUnplayed(songs);
    if (songs.passed.count == 0) return open;
    for (int32_t i = 0; i < songs.songCount; ++i)
        if (IsPassed(songs, i) && !IsPlayed(songs, i)) --open;
    return open;
}

bool Listed(const std::vector<std::string> &volumes, const std::string &volume) {
    return std::any_of(volumes.begin(), volumes.end(),
                       [&](const std::string &v) { return ansi::EqualNoCase(v.c_str(), volume.c_str()); });
}

std::string FolderOf(const char *path) {
    const char *separator = ansi::LastSeparator(path);
    return paths::ShownFolder(separator ? std::string(path, static_cast<size_t>(separator - path)) : path);
}

enum class Reach { Playable, Gone, OutOfReach };

// What found, the answer for path, means for a song; the volume is asked
// (once per change) when the answer alone cannot tell.
Reach ReachOf(const char *path, store::PathFound found, BestSongs *songs, PlayerEnvironment *env) {
    switch (found) {
    case store::PathFound::File: return Reach::Playable;
    case store::PathFound::Folder:
    case store::PathFound::NoName: return Reach::Gone;
    case store::PathFound::NoPath:
    case store::PathFound::NoAnswer: break;
    }
    PassedOver &passed = songs->passed;
    std::string volume = paths::VolumeOf(path);
    bool volumeAnswers = false;
    if (!volume.empty() && !Listed(passed.downVolumes, volume)) {
        volumeAnswers = Listed(passed.upVolumes, volume) ||
                        env->FindPath(paths::JoinPath(volume, "").c_str()) == store::PathFound::Folder;  // its root
        (volumeAnswers ? passed.upVolumes : passed.downVolumes).push_back(volume);
    }
    // A missing folder on a volume that answers was deleted.
    if (volumeAnswers && found == store::PathFound::NoPath) return Reach::Gone;
    if (passed.place.empty()) passed.place = volumeAnswers || volume.empty() ? FolderOf(path) : paths::ShownFolder(volume);
    return Reach::OutOfReach;
}

// Longer paths do not fit the engine's 260-byte buffers.
Reach ReachSong(const char *path, BestSongs *songs, PlayerEnvironment *env) {
    size_t length = std::strlen(path);
    if (length <= 2 || length > best::kMaxEntryLength) return Reach::Gone;
    // Every song of a volume that did not answer is out of reach with it,
    // without waiting for the network once more per song.
    std::string volume = paths::VolumeOf(path);
    if (!volume.empty() && Listed(songs->passed.downVolumes, volume)) return Reach::OutOfReach;
    Reach reach = ReachOf(path, env->FindPath(path), songs, env);  // folders and folder markers are gone
    if (reach == Reach::Playable && env->SkipShortcuts() && ansi::EndsWithNoCase(path, ".lnk")) return Reach::Gone;
    return reach;
}

}  // namespace

void LoadPlayerBest(BestSongs *songs, best::BestRecord record) {
    songs->position = 0;
    songs->currentSong = nullptr;
    songs->entryOffsets.clear();
    songs->history.clear();
    songs->passed = PassedOver();
    songs->songCount = 0;
    songs->best = std::move(record);
    if (songs->best.IsNone() || songs->best.Count() > kMaxSongCount) return;
    songs->songCount = static_cast<int32_t>(songs->best.Count());
    songs->entryOffsets = songs->best.EntryOffsets();
    songs->history.assign(HistoryBytes(songs->songCount), 0);
}

void LoadHistoryValue(BestSongs *songs, const unsigned char *value, size_t size) {
    if (!value || size > songs->history.size()) return;
    std::memcpy(songs->history.data(), value, size);
}

bool IsPlayed(const BestSongs &songs, int32_t entry) {
    if (entry < 0 || static_cast<size_t>(entry / 8) >= songs.history.size()) return false;
    return (songs.history[entry / 8] >> (entry % 8)) & 1;
}

int CountUnplayed(const BestSongs &songs) {
    if (!HasSongs(songs)) return 0;
    int32_t whole = songs.songCount / 8;
    int played = 0;
    for (int32_t i = 0; i < whole; ++i) played += __builtin_popcount(songs.history[i]);
    int rest = songs.songCount % 8;  // bits past the song count are never counted
    if (rest) played += __builtin_popcount(songs.history[whole] & ((1u << rest) - 1));
    return songs.songCount - played;
}

int SelectNextSong(BestSongs *songs, PlayerEnvironment *env, bool random) {
    if (HasSongs(*songs)) {
        const int32_t count = songs->songCount;
        // What a search that reaches nothing gives back.
        const std::vector<unsigned char> historyBefore = songs->history;
        const int32_t positionBefore = songs->position;
        const char *const songBefore = songs->currentSong;
        // Each pass sets played or passes over one open entry, so u is kept by
        // counting down rather than by counting the bitmap again.
        int32_t open = CountOpen(*songs);
        // This search has cleared the history once: a second time would
        // loop for ever.
        bool cleared = false, clearSaved = false;
        for (;;) {
            if (open == 0) {
                if (cleared) break;
                cleared = true;
                if (songs->passed.count == 0) {
                    ClearHistory(songs, env);
                    clearSaved = true;
                } else {
                    // Saved only once a song is found: the songs out of
                    // reach may be all there is.
                    std::memset(songs->history.data(), 0, songs->history.size());
                    songs->position = 0;
                }
                open = CountOpen(*songs);
                if (open == 0) break;
            }

            // n = ((ms * u) / 1000) mod u.  The product is taken in 64 bits:
            // the same value as in 32 bits wherever that does not overflow,
            // and never negative for huge lists.
            int32_t n = 0;
            if (random) {
                int ms = env->LocalMilliseconds();
                if (ms < 0 || ms > 999) ms = 0;
                n = static_cast<int32_t>((static_cast<int64_t>(ms) * open / 1000) % open);
            }

            // The (n + 1)-th open entry, counted cyclically from the position.
            int32_t position = songs->position;
            do {
                if (position < 0 || position >= count) position = 0;
                if (!IsPlayed(*songs, position) && !IsPassed(*songs, position)) --n;
                ++position;
            } while (n >= 0);
            --position;

            songs->position = position;
            --open;
            const char *song = songs->best.At(songs->entryOffsets[position]);
            Reach reach = ReachSong(song, songs, env);
            random = false;  // the rest of this search goes in list order
            if (reach == Reach::OutOfReach) {
                PassOver(songs, position);
                continue;
            }
            MarkPlayed(songs, position);  // skipped entries count as played too
            songs->currentSong = song;
            if (reach == Reach::Playable) return 1;
        }
        if (ReachFailed(*songs)) {
            songs->history = historyBefore;
            songs->position = positionBefore;
            songs->currentSong = songBefore;
            if (clearSaved) env->SaveHistory(songs->history.data(), songs->history.size());
        }
    }
    if (songs->songCount <= 0) songs->currentSong = nullptr;
    return 0;
}

bool PassOverUnopened(BestSongs *songs, PlayerEnvironment *env, const char *opened, store::PathFound found) {
    if (!HasSongs(*songs) || !opened || songs->position < 0 || songs->position >= songs->songCount) return false;
    if (ReachOf(opened, found, songs, env) != Reach::OutOfReach) return false;
    int32_t entry = songs->position;
    songs->history[entry / 8] &= static_cast<unsigned char>(~(1u << (entry % 8)));
    PassOver(songs, entry);
    return true;
}

bool ReachFailed(const BestSongs &songs) { return songs.passed.count > 0; }

void ForgetPassedOver(BestSongs *songs) { songs->passed = PassedOver(); }

void MovePlayerBest(BestSongs *songs, best::BestRecord record) {
    // The old list's strings stay readable in old until the new list is made.
    best::BestRecord old = std::move(songs->best);
    std::vector<uint32_t> oldOffsets = std::move(songs->entryOffsets);
    std::vector<unsigned char> oldHistory = std::move(songs->history);
    const char *oldSong = songs->currentSong;
    int32_t oldPosition = songs->position;
    LoadPlayerBest(songs, std::move(record));
    if (!HasSongs(*songs)) return;

    // The new entries in path order, each found by a binary search.
    auto less = [](const std::pair<const char *, int32_t> &a, const std::pair<const char *, int32_t> &b) {
        int order = ansi::CompareNoCase(a.first, b.first);
        return order != 0 ? order < 0 : a.second < b.second;
    };
    std::vector<std::pair<const char *, int32_t>> byPath;
    byPath.reserve(songs->entryOffsets.size());
    for (int32_t i = 0; i < songs->songCount; ++i) byPath.emplace_back(songs->best.At(songs->entryOffsets[i]), i);
    std::sort(byPath.begin(), byPath.end(), less);
    auto find = [&](const char *path) {  // the new entries of that path, first to last
        auto first = std::lower_bound(byPath.begin(), byPath.end(), std::make_pair(path, INT32_MIN), less);
        auto last = first;
        while (last != byPath.end() && ansi::EqualNoCase(last->first, path)) ++last;
        return std::make_pair(first, last);
    };

    int32_t next = -1;  // the new place of the first old entry after the current song
    for (size_t i = 0; i < oldOffsets.size(); ++i) {
        const char *path = old.At(oldOffsets[i]);
        auto found = find(path);
        if (found.first == found.second) continue;
        if (Bit(oldHistory, static_cast<int32_t>(i)))
            for (auto it = found.first; it != found.second; ++it) MarkPlayed(songs, it->second);
        // Without a current song the walk was to begin at the position itself.
        int32_t entry = static_cast<int32_t>(i);
        if (next < 0 && (entry > oldPosition || (!oldSong && entry == oldPosition))) next = found.first->second;
    }
    if (oldSong) {
        auto found = find(oldSong);
        if (found.first != found.second) {
            songs->position = found.first->second;
            songs->currentSong = found.first->first;
            return;
        }
    }
    songs->position = next < 0 ? 0 : next;
}

void ClearHistory(BestSongs *songs, PlayerEnvironment *env) {
    std::memset(songs->history.data(), 0, songs->history.size());
    env->SaveHistory(songs->history.data(), songs->history.size());
    songs->position = 0;
}

void AdjustHistoryForRandomSwitch(BestSongs *songs, bool on) {
    size_t bytes = songs->history.size();
    if (bytes == 0) return;
    int64_t through = static_cast<int64_t>(songs->position < 0 ? 0 : songs->position) + 1;
    size_t k = static_cast<size_t>(through / 8);
    size_t whole = k < bytes ? k : bytes;
    if (on) {
        std::memset(songs->history.data(), 0, whole);
        return;
    }
    std::memset(songs->history.data(), 0xFF, whole);
    int bits = static_cast<int>(through % 8);
    if (k < bytes && bits) songs->history[k] |= static_cast<unsigned char>((1u << bits) - 1);
}

void TrayTipText(const char *path, char *tip, size_t capacity) {
    if (!tip || capacity == 0) return;
    if (!path) {
        tip[0] = '\0';
        return;
    }
    const char *separator = ansi::LastSeparator(path);
    const char *name = separator ? separator + 1 : path;
    static const char kEllipsis[] = "...";
    if (std::strlen(name) < capacity || capacity < sizeof kEllipsis + 1) {
        ansi::CopyFit(tip, capacity, name);
        return;
    }
    size_t keep = ansi::FitLength(name, capacity - sizeof kEllipsis);
    std::memcpy(tip, name, keep);
    std::memcpy(tip + keep, kEllipsis, sizeof kEllipsis);
}
