#include "player/song_selection.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "utils/ansi_text.h"

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

// Longer paths do not fit the engine's 260-byte buffers.
bool IsPlayable(const char *path, PlayerEnvironment *env) {
    size_t length = std::strlen(path);
    if (length <= 2 || length > best::kMaxEntryLength) return false;
    if (!env->FileExists(path)) return false;  // folders and folder markers end here
    return !(env->SkipShortcuts() && ansi::EndsWithNoCase(path, ".lnk"));
}

}  // namespace

void LoadPlayerBest(PlayerState *player, best::BestRecord record) {
    player->position = 0;
    player->currentSong = nullptr;
    player->entryOffsets.clear();
    player->history.clear();
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
        // Each pass marks one unplayed entry, so u is kept by counting down
        // rather than by counting the bitmap again.
        int32_t unplayed = CountUnplayed(*player);
        // This search has cleared the history once: a second time would
        // loop for ever.
        bool cleared = false;
        for (;;) {
            if (unplayed == 0) {
                if (cleared) break;
                ClearHistory(player, env);
                cleared = true;
                unplayed = CountUnplayed(*player);
            }

            // n = ((ms * u) / 1000) mod u.  The product is taken in 64 bits:
            // the same value as in 32 bits wherever that does not overflow,
            // and never negative for huge lists.
            int32_t n = 0;
            if (random) {
                int ms = env->LocalMilliseconds();
                if (ms < 0 || ms > 999) ms = 0;
                n = static_cast<int32_t>((static_cast<int64_t>(ms) * unplayed / 1000) % unplayed);
            }

            // The (n + 1)-th unplayed entry, counted cyclically from the position.
            int32_t position = player->position;
            do {
                if (position < 0 || position >= count) position = 0;
                if (!IsPlayed(*player, position)) --n;
                ++position;
            } while (n >= 0);
            --position;

            player->position = position;
            MarkPlayed(player, position);  // skipped entries count as played too
            --unplayed;
            player->currentSong = player->best.At(player->entryOffsets[position]);
            if (IsPlayable(player->currentSong, env)) return 1;
            random = false;  // the rest of this search goes in list order
        }
    }
    if (player->songCount <= 0) player->currentSong = nullptr;
    return 0;
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
