// The notification-area icon and the tray menu's contents.
#ifndef TIVORN_SHELL_TRAY_H
#define TIVORN_SHELL_TRAY_H

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "shell/application_state.h"
#include "utils/private_messages.h"
#include "store/store.h"

class Player;
struct PlayerReport;

enum class TrayKind {
    Remove = 0,     // delete the icon
    Add = 1,        // add it with image A and the tip "Tivorn"
    Tip = 2,        // tip = the file name of path, or "Tivorn" without one
    Still = 3,      // show image A
    Alternate = 4,  // show A and B in turn
};

// Timer of the resident window that animates the tray icon while a song plays.
constexpr UINT_PTR kTrayAnimationTimer = 1;
constexpr UINT kTrayAnimationPeriodMs = 500;

// Timer of the resident window that adds the icon again while the
// notification area does not take it, every period, at most so many times.
constexpr UINT_PTR kTrayAddRetryTimer = 3;
constexpr UINT kTrayAddRetryPeriodMs = 2000;
constexpr int kTrayAddRetries = 60;

constexpr unsigned kTrayIconId = 1;
// The tip holds at most this many bytes of text.
constexpr unsigned kTrayTipBytes = 63;

// Best k is command 10000 + k; past this many the commands would reach the
// menu's own (IDM_PLAY on), so later bests get no item.
constexpr int kMaxBestMenuItems = 30000;

enum class BestMenuMode {
    Rebuild = 0,    // the best items anew from the best file, then the check
    MoveCheck = 1,  // only move the check to the current best
};

// The icon and the tray menu's best items, over the menu and the window of
// the resident window's state.
// It follows the settings for the menu's checks (ランダム, 1曲リピート),
// whoever changes them.
class Tray final : public SettingsListener {
public:
    // The best menu lists the store's bests and checks the player's current
    // one.
    Tray(const ApplicationState &state, Store &store, const Player &player);
    // Removes the icon if it shows.
    ~Tray();
    Tray(const Tray &) = delete;
    Tray &operator=(const Tray &) = delete;

    // A value that is no TrayKind does nothing.  An add that the
    // notification area refuses is tried again on kTrayAddRetryTimer.
    void UpdateIcon(TrayKind kind, const char *path);
    // kTrayAddRetryTimer fired: one more try at adding the icon.
    void RetryAdd();
    // The display's scale changed: the icon's images at the size for the
    // taskbar's scale, or for dpi.  Nothing changes when the size stays.
    void ReloadImages();
    void ReloadImagesAt(UINT dpi);

    // The best items at the top of the tray menu, with the current best
    // checked.  0 when the tray menu is missing in a rebuild, else 1.
    int BuildBestMenu(BestMenuMode mode);
    // The tray menu without best items or names, as it is before start-up
    // fills it.
    void ClearBestMenu();

    // The best name list: name k is item k of the best menu and command
    // 10000 + k.  Rebuilt with the best menu, freed at shutdown.
    const std::vector<std::string> &BestNames() const { return bestNames_; }
    void FreeBestNames();

    // Greys "再生(&P)" and enables "停止(&S)" and "再生中の曲の情報(&I)" while
    // playing; the reverse when stopped.
    void SetPlayMenuState(bool playing);

    // A song began: with "SongNotice" on, and unless a full-screen program
    // or a presentation has the screen, a balloon names it (its own title,
    // else its file name) and its best.  No sound: the song is the sound.
    void TellSongBegan(const PlayerReport &report);
    // For tests: how many balloons were asked for, and the last one's texts.
    int NoticesAsked() const { return noticesAsked_; }
    const char *NoticeTitle() const { return record_.szInfoTitle; }
    const char *NoticeText() const { return record_.szInfo; }

    // The menu's ランダム and 1曲リピート checks as the settings have them.
    void ShowOptionChecks();
    void SettingsChanged(const Settings &settings, SettingsChange change) override;

    // The number of best items at the top of the tray menu.
    int BestMenuItemCount() const;

    // Opens the tray menu at the mouse cursor, owned by owner; the chosen item
    // arrives at owner as WM_COMMAND.
    void ShowMenu(HWND owner);

    using DpiForMonitor = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);                // Windows 8.1 on
    using SystemMetricsForDpi = int(WINAPI *)(int, UINT);                                // Windows 10 1607 on
    using IconWithScaleDown = HRESULT(WINAPI *)(HINSTANCE, PCWSTR, int, int, HICON *);  // common controls 6

    // For tests: the tip text and which image (0 = A, 1 = B) was shown last.
    const char *TipText() const { return record_.szTip; }
    int ImageShown() const;
    // For tests: the width in pixels of the image shown.
    int ImagePixels() const;

private:
    HMENU Popup() const;
    HICON LoadSmallIcon(WORD id, int size) const;
    void LoadImages(int size);
    void SetTip(const char *text);
    bool Notify(DWORD action);
    bool AddIcon();
    void InsertBestItem(HMENU menu, int index, const char *name);

    const ApplicationState &state_;
    Store &store_;
    const Player &player_;
    DpiForMonitor dpiForMonitor_ = nullptr;
    SystemMetricsForDpi metricsForDpi_ = nullptr;
    IconWithScaleDown loadScaledDown_ = nullptr;
    NOTIFYICONDATAA record_ = {};  // one record, reused for every shell call
    HICON imageA_ = nullptr;
    HICON imageB_ = nullptr;
    int iconSize_ = 0;            // of the images loaded, in pixels
    int alternate_ = 0;           // 1 while image B is shown by the animation
    int addTriesLeft_ = 0;        // tries of kTrayAddRetryTimer still to come
    int noticesAsked_ = 0;
    // Positions of the best items and names correspond one to one.
    std::vector<std::string> bestNames_;
};

#endif
