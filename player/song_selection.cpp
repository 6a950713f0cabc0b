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

bool HasSongs(const PlayerState &player) {
    return player.songCount > 0 && player.history.size() == HistoryBytes(player.songCount) &&
           player.entryOffsets.size() == static_cast<size_t>(player.songCount);
}

void MarkPlayed(PlayerState *player, int32_t entry) {
    player->history[entry / 8] |= static_cast<unsigned char>(1u << (entry % 8));
}

bool Bit(const std::vector<unsigned char> &bits, int32_t entry) {
    return entry >= 0 && static_cast<size_t>(entry / 8) < bits.size() && ((bits[entry / 8] >> (entry % 8)) & 1);
}

bool IsPassed(const PlayerState &player, int32_t entry) { return Bit(player.passed.entries, entry); }

void PassOver(PlayerState *player, int32_t entry) {
    PassedOver &passed = player->passed;
    if (passed.entries.size() != player->history.size()) passed.entries.assign(player->history.size(), 0);
    if (IsPassed(*player, entry)) return;
    passed.entries[entry / 8] |= static_cast<unsigned char>(1u << (entry % 8));
    ++passed.count;
}

// Entries neither played nor passed over.
int32_t CountOpen(const PlayerState &player) {
    int32_t open = CountUnplayed(player);
    if (player.passed.count == 0) return open;
    for (int32_t i = 0; i < player.songCount; ++i)
        if (IsPassed(player, i) && !IsPlayed(player, i)) --open;
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
Reach ReachOf(const char *path, store::PathFound found, PlayerState *player, PlayerEnvironment *env) {
    switch (found) {
    case store::PathFound::File: return Reach::Playable;
    case store::PathFound::Folder:
    case store::PathFound::NoName: return Reach::Gone;
    case store::PathFound::NoPath:
    case store::PathFound::NoAnswer: break;
    }
    PassedOver &passed = player->passed;
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
Reach ReachSong(const char *path, PlayerState *player, PlayerEnvironment *env) {
    size_t length = std::strlen(path);
    if (length <= 2 || length > best::kMaxEntryLength) return Reach::Gone;
    // Every song of a volume that did not answer is out of reach with it,
    // without waiting for the network once more per song.
    std::string volume = paths::VolumeOf(path);
    if (!volume.empty() && Listed(player->passed.downVolumes, volume)) return Reach::OutOfReach;
    Reach reach = ReachOf(path, env->FindPath(path), player, env);  // folders and folder markers are gone
    if (reach == Reach::Playable && env->SkipShortcuts() && ansi::EndsWithNoCase(path, ".lnk")) return Reach::Gone;
    return reach;
}

}  // namespace

void LoadPlayerBest(PlayerState *player, best::BestRecord record) {
    player->position = 0;
    player->currentSong = nullptr;
    player->entryOffsets.clear();
    player->history.clear();
    player->passed = PassedOver();
    player->songCount = 0;
    player->best = std::move(record);
    if (player->best.IsNone() || player->best.Count() > kMaxSongCount) return;
    player->songCount = static_cast<int32_t>(player->best.Count());
    player->entryOffsets = player->best.EntryOffsets();
    player->history.assign(HistoryBytes(player->songCount), 0);
}

void LoadHistoryValue(PlayerState *player, const unsigned char *value, size_t size) {
    if (!value || size > player->history.size()) return;
    std::memcpy(player->history.data(), value, size);
}

bool IsPlayed(const PlayerState &player, int32_t entry) {
    if (entry < 0 || static_cast<size_t>(entry / 8) >= player.history.size()) return false;
    return (player.history[entry / 8] >> (entry % 8)) & 1;
}

int CountUnplayed(const PlayerState &player) {
    if (!HasSongs(player)) return 0;
    int32_t whole = player.songCount / 8;
    int played = 0;
    for (int32_t i = 0; i < whole; ++i) played += __builtin_popcount(player.history[i]);
    int rest = player.songCount % 8;  // bits past the song count are never counted
    if (rest) played += __builtin_popcount(player.history[whole] & ((1u << rest) - 1));
    return player.songCount - played;
}

int SelectNextSong(PlayerState *player, PlayerEnvironment *env, bool random) {
    if (HasSongs(*player)) {
        const int32_t count = player->songCount;
        // What a search that reaches nothing gives back.
        const std::vector<unsigned char> historyBefore = player->history;
        const int32_t positionBefore = player->position;
        const char *const songBefore = player->currentSong;
        // Each pass marks or passes over one open entry, so u is kept by
        // counting down rather than by counting the bitmap again.
        int32_t open = CountOpen(*player);
        // This search has cleared the history once: a second time would
        // loop for ever.
        bool cleared = false, clearSaved = false;
        for (;;) {
            if (open == 0) {
                if (cleared) break;
                cleared = true;
                if (player->passed.count == 0) {
                    ClearHistory(player, env);
                    clearSaved = true;
                } else {
                    // Saved only once a song is found: the songs out of
                    // reach may be all there is.
                    std::memset(player->history.data(), 0, player->history.size());
                    player->position = 0;
                }
                open = CountOpen(*player);
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
            int32_t position = player->position;
            do {
                if (position < 0 || position >= count) position = 0;
                if (!IsPlayed(*player, position) && !IsPassed(*player, position)) --n;
                ++position;
            } while (n >= 0);
            --position;

            player->position = position;
            --open;
            const char *song = player->best.At(player->entryOffsets[position]);
            Reach reach = ReachSong(song, player, env);
            random = false;  // the rest of this search goes in list order
            if (reach == Reach::OutOfReach) {
                PassOver(player, position);
                continue;
            }
            MarkPlayed(player, position);  // skipped entries count as played too
            player->currentSong = song;
            if (reach == Reach::Playable) return 1;
        }
        if (ReachFailed(*player)) {
            player->history = historyBefore;
            player->position = positionBefore;
            player->currentSong = songBefore;
            if (clearSaved) env->SaveHistory(player->history.data(), player->history.size());
        }
    }
    if (player->songCount <= 0) player->currentSong = nullptr;
    return 0;
}

bool PassOverUnopened(PlayerState *player, PlayerEnvironment *env, const char *opened, store::PathFound found) {
    if (!HasSongs(*player) || !opened || player->position < 0 || player->position >= player->songCount) return false;
    if (ReachOf(opened, found, player, env) != Reach::OutOfReach) return false;
    int32_t entry = player->position;
    player->history[entry / 8] &= static_cast<unsigned char>(~(1u << (entry % 8)));
    PassOver(player, entry);
    return true;
}

bool ReachFailed(const PlayerState &player) { return player.passed.count > 0; }

void ForgetPassedOver(PlayerState *player) { player->passed = PassedOver(); }

void MovePlayerBest(PlayerState *player, best::BestRecord record) {
    // The old list's strings stay readable in old until the new list is made.
    best::BestRecord old = std::move(player->best);
    std::vector<uint32_t> oldOffsets = std::move(player->entryOffsets);
    std::vector<unsigned char> oldHistory = std::move(player->history);
    const char *oldSong = player->currentSong;
    int32_t oldPosition = player->position;
    LoadPlayerBest(player, std::move(record));
    if (!HasSongs(*player)) return;

    // The new entries in path order, each found by a binary search.
    auto less = [](const std::pair<const char *, int32_t> &a, const std::pair<const char *, int32_t> &b) {
        int order = ansi::CompareNoCase(a.first, b.first);
        return order != 0 ? order < 0 : a.second < b.second;
    };
    std::vector<std::pair<const char *, int32_t>> byPath;
    byPath.reserve(player->entryOffsets.size());
    for (int32_t i = 0; i < player->songCount; ++i) byPath.emplace_back(player->best.At(player->entryOffsets[i]), i);
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
            for (auto it = found.first; it != found.second; ++it) MarkPlayed(player, it->second);
        // Without a current song the walk was to begin at the position itself.
        int32_t entry = static_cast<int32_t>(i);
        if (next < 0 && (entry > oldPosition || (!oldSong && entry == oldPosition))) next = found.first->second;
    }
    if (oldSong) {
        auto found = find(oldSong);
        if (found.first != found.second) {
            player->position = found.first->second;
            player->currentSong = found.first->first;
            return;
        }
    }
    player->position = next < 0 ? 0 : next;
}

void ClearHistory(PlayerState *player, PlayerEnvironment *env) {
    std::memset(player->history.data(), 0, player->history.size());
    env->SaveHistory(player->history.data(), player->history.size());
    player->position = 0;
}

void AdjustHistoryForRandomSwitch(PlayerState *player, bool on) {
    size_t bytes = player->history.size();
    if (bytes == 0) return;
    int64_t through = static_cast<int64_t>(player->position < 0 ? 0 : player->position) + 1;
    size_t k = static_cast<size_t>(through / 8);
    size_t whole = k < bytes ? k : bytes;
    if (on) {
        std::memset(player->history.data(), 0, whole);
        return;
    }
    std::memset(player->history.data(), 0xFF, whole);
    int bits = static_cast<int>(through % 8);
    if (k < bytes && bits) player->history[k] |= static_cast<unsigned char>((1u << bits) - 1);
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
