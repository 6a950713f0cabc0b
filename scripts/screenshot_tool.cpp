// screenshot_tool.exe OUTPUT-FOLDER
//
// Shows every window of the program, built from the program's own resources,
// and writes what is on screen as one BMP per window into OUTPUT-FOLDER
// (scripts/screenshots.sh turns them into PNGs).  The windows are the
// program's own, opened the way a user opens them: the About view from the
// resident window's menu command, the best settings dialog as the tray menu
// opens it over a scratch MIDI folder and best file (once in each check-mark
// look, and on its all-files tab), and the advanced settings and best name
// dialogs from its buttons.
//
// The exit code is the number of windows that could not be captured.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/application.h"
#include "shell/output_menu.h"
#include "shell/popup_menu.h"
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/best_dialog_driving.h"
#include "testing/midi_writer.h"

namespace {

// ---------------------------------------------------------------------------
// Small owners of GDI objects.

class MemoryDC {
public:
    explicit MemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDC() { if (dc_) DeleteDC(dc_); }
    MemoryDC(const MemoryDC &) = delete;
    MemoryDC &operator=(const MemoryDC &) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
    ~WindowDC() { if (dc_) ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC &) = delete;
    WindowDC &operator=(const WindowDC &) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

class ImageList {
public:
    ImageList() = default;
    explicit ImageList(HIMAGELIST list) : list_(list) {}
    ~ImageList() { if (list_) ImageList_Destroy(list_); }
    ImageList(const ImageList &) = delete;
    ImageList &operator=(const ImageList &) = delete;
    void reset(HIMAGELIST list) {
        if (list_) ImageList_Destroy(list_);
        list_ = list;
    }
    HIMAGELIST get() const { return list_; }

private:
    HIMAGELIST list_ = nullptr;
};

// ---------------------------------------------------------------------------
// Image lists built the way the program builds them.

constexpr COLORREF kMaskBlue = RGB(0, 0, 255);

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

// The program's shell, whose windows and menu are shown.
Application &App() {
    static Application app(Instance());
    return app;
}

void AddBitmap(HIMAGELIST list, int resource) {
    HBITMAP bitmap = LoadBitmapA(Instance(), MAKEINTRESOURCEA(resource));
    ImageList_AddMasked(list, bitmap, kMaskBlue);
    DeleteObject(bitmap);
}

void AddIcon(HIMAGELIST list, int resource) {
    HICON icon = static_cast<HICON>(
        LoadImageA(Instance(), MAKEINTRESOURCEA(resource), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ImageList_AddIcon(list, icon);
    DestroyIcon(icon);
}

HIMAGELIST ButtonFaces() {
    HIMAGELIST list = ImageList_Create(25, 23, ILC_COLOR8 | ILC_MASK, 9, 0);
    for (int i = 0; i < 9; ++i) AddBitmap(list, IDB_BUTTON_FIRST + i);
    return list;
}

// With a mask, so the blue around the figure is transparent: without one,
// ImageList_AddMasked paints the mask colour black and the figure stands in
// a black box.
HIMAGELIST AboutFrames() {
    HIMAGELIST list = ImageList_Create(68, 68, ILC_COLOR8 | ILC_MASK, IDB_ABOUT_COUNT, 0);
    for (int i = 0; i < IDB_ABOUT_COUNT; ++i) AddBitmap(list, IDB_ABOUT_FIRST + i);
    return list;
}

HIMAGELIST StateImages(bool alternative) {
    static const int plain[] = {IDI_BOX_EMPTY, IDI_BOX_EMPTY, IDI_BOX_TICKED, IDI_BOX_PARTLY};
    static const int other[] = {IDI_BOX_EMPTY, IDI_FOLDER_UNCHECKED, IDI_FOLDER, IDI_FOLDER_PARTLY,
                                IDI_BOX_EMPTY, IDI_FILE_UNCHECKED, IDI_FILE};
    const int *ids = alternative ? other : plain;
    int count = alternative ? ARRAYSIZE(other) : ARRAYSIZE(plain);
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, count, 0);
    for (int i = 0; i < count; ++i) AddIcon(list, ids[i]);
    return list;
}

HIMAGELIST NormalImages() {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 3, 0);
    AddIcon(list, IDI_TRAY_A);
    AddIcon(list, IDI_FOLDER);
    AddIcon(list, IDI_FILE);
    return list;
}

// ---------------------------------------------------------------------------
// Capture

struct Capture {
    const char *folder;
    int failures;
};

// Windows that overlap (a menu and its open submenu) go into one picture
// of the area they cover, the later ones over the earlier, on white.
bool SaveWindows(const std::vector<HWND> &windows, const char *folder, const char *name) {
    RECT r = {};
    for (HWND window : windows) {
        RECT part;
        GetWindowRect(window, &part);
        if (window == windows.front()) r = part;
        else UnionRect(&r, &r, &part);
    }
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (windows.empty() || width <= 0 || height <= 0) return false;

    WindowDC first(windows.front());
    MemoryDC memory(first.get());
    HBITMAP bitmap = CreateCompatibleBitmap(first.get(), width, height);
    if (!first.get() || !memory.get() || !bitmap) {
        if (bitmap) DeleteObject(bitmap);
        return false;
    }
    {
        Selection select(memory.get(), bitmap);
        PatBlt(memory.get(), 0, 0, width, height, WHITENESS);
        for (HWND window : windows) {
            RECT part;
            GetWindowRect(window, &part);
            WindowDC source(window);
            BitBlt(memory.get(), part.left - r.left, part.top - r.top, part.right - part.left,
                   part.bottom - part.top, source.get(), 0, 0, SRCCOPY);
        }
    }

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    info.biSizeImage = stride * height;
    std::vector<BYTE> pixels(info.biSizeImage);
    int rows = GetDIBits(memory.get(), bitmap, 0, height, pixels.data(),
                         reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    if (rows != height) return false;

    char path[MAX_PATH];
    if (snprintf(path, sizeof path, "%s\\%s.bmp", folder, name) >= static_cast<int>(sizeof path))
        return false;
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;
    bool written = fwrite(&header, sizeof header, 1, file) == 1 &&
                   fwrite(&info, sizeof info, 1, file) == 1 &&
                   fwrite(pixels.data(), pixels.size(), 1, file) == 1;
    return fclose(file) == 0 && written;
}

bool SaveWindow(HWND window, const char *folder, const char *name) {
    return SaveWindows({window}, folder, name);
}

// Lets the window and its children finish painting before the capture.
void Settle(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    for (int round = 0; round < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++round) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

void Report(Capture &capture, const char *name, bool ok) {
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", name);
    if (!ok) ++capture.failures;
}

// The tray menu: popup 0 of menu IDR_POPUP_MENU with its item bitmaps, as the program
// loads it, and two sample bests at its top with the current one checked.
struct MenuShot {
    Capture *capture;
    DWORD deadline;
    bool done;
    HWND tray;  // the tray menu's window once shot; then its submenu "出力先(&D)" is opened
};
MenuShot g_menuShot;

// A visible menu window other than except.
HWND FindMenuWindow(HWND except) {
    for (HWND menu = FindWindowExA(nullptr, nullptr, "#32768", nullptr); menu;
         menu = FindWindowExA(nullptr, menu, "#32768", nullptr))
        if (menu != except && IsWindowVisible(menu)) return menu;
    return nullptr;
}

LRESULT CALLBACK MenuOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        HWND menu = FindMenuWindow(g_menuShot.tray);
        if (menu && !g_menuShot.tray) {
            Settle(menu);
            Report(*g_menuShot.capture, "103-tray-menu", SaveWindow(menu, g_menuShot.capture->folder,
                                                                    "103-tray-menu"));
            g_menuShot.tray = menu;
            // Up from no selection reaches "終了(&X)", then the submenu above it.
            for (WPARAM key : {VK_UP, VK_UP, VK_RIGHT}) PostMessageA(window, WM_KEYDOWN, key, 0);
        } else if (menu) {
            Settle(menu);
            Settle(g_menuShot.tray);
            Report(*g_menuShot.capture, "103-tray-menu-output",
                   SaveWindows({g_menuShot.tray, menu}, g_menuShot.capture->folder, "103-tray-menu-output"));
            g_menuShot.done = true;
            EndMenu();
        } else if (GetTickCount() > g_menuShot.deadline) {
            EndMenu();
        }
        return 0;
    }
    // The menu's pictures are drawn by its owner, as the resident window does.
    if (message == WM_MEASUREITEM && MeasureMenuPicture(App().shell(), reinterpret_cast<MEASUREITEMSTRUCT *>(lParam)))
        return TRUE;
    if (message == WM_DRAWITEM && DrawMenuPicture(App().shell(), reinterpret_cast<const DRAWITEMSTRUCT *>(lParam)))
        return TRUE;
    return DefWindowProcA(window, message, wParam, lParam);
}

void AddSampleBests(HMENU tray) {
    const char *labels[] = {"&1 すべてのMIDIファイル", "&2 お気に入り", "&3 ドライブ用"};
    for (int i = 0; i < 3; ++i) {
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_CHECKMARKS | MIIM_STATE;
        item.fType = MFT_STRING | MFT_RADIOCHECK;
        item.fState = i == 1 ? MFS_CHECKED : 0;
        item.wID = IDM_BEST_FIRST + i;
        item.hbmpChecked = App().shell().checkBitmap;
        item.dwTypeData = const_cast<char *>(labels[i]);
        InsertMenuItemA(tray, i, TRUE, &item);
    }
}

void ShootTrayMenu(Capture &capture) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MenuOwnerProc;
    windowClass.hInstance = Instance();
    windowClass.lpszClassName = "TivornScreenshotOwner";
    RegisterClassA(&windowClass);
    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, Instance(), nullptr);
    LoadPopupMenu(App().shell());
    HMENU tray = App().shell().popupMenu ? GetSubMenu(App().shell().popupMenu, 0) : nullptr;
    if (!owner || !tray) {
        Report(capture, "103-tray-menu", false);
    } else {
        AddSampleBests(tray);
        BuildOutputMenu(tray, App().store());
        g_menuShot = {&capture, GetTickCount() + 20000, false, nullptr};
        ShowWindow(owner, SW_SHOW);
        SetForegroundWindow(owner);
        SetTimer(owner, 1, 100, nullptr);
        TrackPopupMenu(tray, TPM_RIGHTBUTTON, 60, 60, 0, owner, nullptr);
        KillTimer(owner, 1);
        if (!g_menuShot.done) Report(capture, g_menuShot.tray ? "103-tray-menu-output" : "103-tray-menu", false);
    }
    UnloadPopupMenu(App().shell());
    if (owner) DestroyWindow(owner);
}

// Every picture of the program as its image lists and menus show it, on the
// window background: a sheet to judge the pictures by.
LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return 0;
    ImageList faces(ButtonFaces()), frames(AboutFrames());
    ImageList plain(StateImages(false)), other(StateImages(true)), normal(NormalImages());
    for (int i = 0; i < 9; ++i) ImageList_Draw(faces.get(), i, dc, 10 + i * 32, 10, ILD_NORMAL);
    for (int i = 0; i < 4; ++i) ImageList_Draw(plain.get(), i, dc, 10 + i * 24, 45, ILD_NORMAL);
    for (int i = 0; i < 7; ++i) ImageList_Draw(other.get(), i, dc, 120 + i * 24, 45, ILD_NORMAL);
    for (int i = 0; i < 3; ++i) ImageList_Draw(normal.get(), i, dc, 300 + i * 24, 45, ILD_NORMAL);

    MemoryDC memory(dc);
    for (int i = 0; i <= IDB_CHECK - IDB_MENU_REWIND; ++i) {
        HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(Instance(), MAKEINTRESOURCEA(IDB_MENU_REWIND + i),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        BITMAP size;
        GetObject(bitmap, sizeof size, &size);
        {
            // The menu pictures carry alpha and are blended as the menu does.
            Selection select(memory.get(), bitmap);
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            if (size.bmBitsPixel == 32)
                GdiAlphaBlend(dc, 10 + i * 20, 75, size.bmWidth, size.bmHeight, memory.get(), 0, 0, size.bmWidth,
                              size.bmHeight, blend);
            else
                BitBlt(dc, 10 + i * 20, 75, size.bmWidth, size.bmHeight, memory.get(), 0, 0, SRCCOPY);
        }
        DeleteObject(bitmap);
    }
    const int traySizes[] = {16, 20, 24, 32};
    for (int i = 0; i < 8; ++i) {
        int size = traySizes[i % 4];
        HICON icon = static_cast<HICON>(LoadImageA(Instance(), MAKEINTRESOURCEA(i < 4 ? IDI_TRAY_A : IDI_TRAY_B),
                                                   IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        DrawIconEx(dc, 210 + i * 30, 70, icon, size, size, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }
    for (int i = 0; i < IDB_ABOUT_COUNT; ++i)
        ImageList_Draw(frames.get(), i, dc, 10 + (i % 6) * 74, 110 + (i / 6) * 74, ILD_NORMAL);
    EndPaint(window, &paint);
    return 0;
}

void ShootImageSheet(Capture &capture) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = SheetProc;
    windowClass.hInstance = Instance();
    windowClass.hbrBackground = GetSysColorBrush(COLOR_3DFACE);
    windowClass.lpszClassName = "TivornScreenshotSheet";
    RegisterClassA(&windowClass);
    RECT r = {0, 0, 460, 270};
    AdjustWindowRectEx(&r, WS_CAPTION, FALSE, 0);
    HWND sheet = CreateWindowExA(0, windowClass.lpszClassName, "Tivorn の画像", WS_CAPTION | WS_VISIBLE,
                                 40, 40, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                 Instance(), nullptr);
    bool ok = false;
    if (sheet) {
        Settle(sheet);
        ok = SaveWindow(sheet, capture.folder, "images");
        DestroyWindow(sheet);
    }
    Report(capture, "images", ok);
}

// ---------------------------------------------------------------------------
// The best settings dialog: the program's own, opened the way the menu opens
// it, over a scratch MIDI folder and best file.

// The MIDI folder in folder-first order (sub-folders first, then files),
// and which files the best "お気に入り" holds: all of クラシック (with its
// folder marker), part of ゲーム音楽, none of 練習曲.
struct SceneFile {
    const char *path;  // below the MIDI folder
    bool favourite;
};
const char *const kSceneFolders[] = {"クラシック", "ゲーム音楽", "練習曲"};
const SceneFile kSceneFiles[] = {
    {"クラシック\\カノン.mid", true},       {"クラシック\\ジムノペディ.mid", true},
    {"ゲーム音楽\\ソナチネ.mid", false},    {"ゲーム音楽\\フィナーレ.mid", true},
    {"ゲーム音楽\\序曲.mid", true},         {"練習曲\\エチュード.mid", false},
    {"にぎやかな行進曲.mid", true},         {"子守歌.mid", false},
};
const char kAllBest[] = "すべてのMIDIファイル";
const char kFavouriteBest[] = "お気に入り";
const char kPartlyFolder[] = "ゲーム音楽";
const char kProgramKey[] = "Software\\Zarnith\\Tivorn";
const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// What the scene's desktop holds.
const char *const kDesktopFolders[] = {"写真", "ダウンロードした曲"};

bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes) {
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = bytes.empty() || fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    return fclose(file) == 0 && written;
}

// The scratch folder: the data files beside a MIDI folder of short songs.
class SceneFolder {
public:
    SceneFolder() {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir_ = std::string(temp) + "tivorn-screenshots-" + std::to_string(GetCurrentProcessId());
        midi_ = dir_ + "\\MIDI";
        desktop_ = dir_ + "\\Desktop";
    }
    ~SceneFolder() {
        for (const SceneFile &file : kSceneFiles) DeleteFileA((midi_ + "\\" + file.path).c_str());
        for (const char *folder : kSceneFolders) RemoveDirectoryA((midi_ + "\\" + folder).c_str());
        RemoveDirectoryA(midi_.c_str());
        for (const char *folder : kDesktopFolders) RemoveDirectoryA((desktop_ + "\\" + folder).c_str());
        RemoveDirectoryA(desktop_.c_str());
        for (const char *name : {"KORVEL.dat", "KORVEL.ini"}) DeleteFileA((dir_ + "\\" + name).c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    SceneFolder(const SceneFolder &) = delete;
    SceneFolder &operator=(const SceneFolder &) = delete;

    bool Make() const {
        CreateDirectoryA(dir_.c_str(), nullptr);
        CreateDirectoryA(midi_.c_str(), nullptr);
        for (const char *folder : kSceneFolders) CreateDirectoryA((midi_ + "\\" + folder).c_str(), nullptr);
        CreateDirectoryA(desktop_.c_str(), nullptr);
        for (const char *folder : kDesktopFolders) CreateDirectoryA((desktop_ + "\\" + folder).c_str(), nullptr);
        for (const SceneFile &file : kSceneFiles)
            if (!midiw::Save(midi_ + "\\" + file.path, midiw::Tune({60, 64, 67}))) return false;
        // The default best (the folder's marker and every song) and the
        // favourites (クラシック whole, so with its marker).
        std::vector<std::string> all = {midi_ + "/"};
        std::vector<std::string> favourites = {midi_ + "\\" + kSceneFolders[0] + "/"};
        for (const SceneFile &file : kSceneFiles) {
            all.push_back(midi_ + "\\" + file.path);
            if (file.favourite) favourites.push_back(midi_ + "\\" + file.path);
        }
        bestbytes::Bytes bests =
            bestbytes::File({bestbytes::Record(kAllBest, all), bestbytes::Record(kFavouriteBest, favourites)});
        return WriteFileBytes(dir_ + "\\KORVEL.dat", bests) && WriteFileBytes(dir_ + "\\KORVEL.ini", {});
    }

    const std::string &dir() const { return dir_; }
    const std::string &midi() const { return midi_; }
    const std::string &desktop() const { return desktop_; }

private:
    std::string dir_, midi_, desktop_;
};

// A registry value of the user's for the time of the scene; what was there
// before comes back, and a key made for it goes again.
class SceneValue {
public:
    SceneValue(const char *key, const char *name, DWORD type, const std::string &value) : key_(key), name_(name) {
        HKEY opened;
        keyExisted_ = RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS;
        if (keyExisted_) {
            char old[MAX_PATH];
            DWORD size = sizeof old;
            if (RegQueryValueExA(opened, name, nullptr, &oldType_, reinterpret_cast<BYTE *>(old), &size) ==
                    ERROR_SUCCESS && (oldType_ == REG_SZ || oldType_ == REG_EXPAND_SZ)) {
                old_.assign(old, size ? size - 1 : 0);
                hadValue_ = true;
            }
            RegCloseKey(opened);
        }
        RegSetKeyValueA(HKEY_CURRENT_USER, key, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }
    ~SceneValue() {
        if (!keyExisted_)
            RegDeleteTreeA(HKEY_CURRENT_USER, key_);
        else if (hadValue_)
            RegSetKeyValueA(HKEY_CURRENT_USER, key_, name_, oldType_, old_.c_str(),
                            static_cast<DWORD>(old_.size() + 1));
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, key_, name_);
    }
    SceneValue(const SceneValue &) = delete;
    SceneValue &operator=(const SceneValue &) = delete;

private:
    const char *key_;
    const char *name_;
    bool keyExisted_ = false;
    bool hadValue_ = false;
    DWORD oldType_ = REG_SZ;
    std::string old_;
};

// A modal dialog the program opens from a button: the capture runs from a
// timer inside the dialog's own loop, then the dialog is closed as a user
// closes it (its close box).
struct ModalShot {
    Capture *capture;
    const char *name;
    HWND owner;
    DWORD deadline;
    void (*prepare)(HWND dialog);
    int ticksSeen;
    bool done;
};
ModalShot g_modalShot;

// The enabled dialog over owner: the one its button opened.
HWND ModalOver(HWND owner) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        char className[16] = "";
        GetClassNameA(window, className, ARRAYSIZE(className));
        if (window != owner && GetWindow(window, GW_OWNER) == owner && IsWindowVisible(window) &&
            std::strcmp(className, "#32770") == 0)
            return window;
    }
    return nullptr;
}

void CALLBACK ModalTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    ModalShot &shot = g_modalShot;
    HWND dialog = ModalOver(shot.owner);
    if (!dialog && GetTickCount() < shot.deadline) return;
    if (!dialog) {
        KillTimer(nullptr, timer);
        return;
    }
    // The display shows a new window a moment after it is made visible.
    if (shot.ticksSeen++ == 0) {
        if (shot.prepare) shot.prepare(dialog);
        SetWindowPos(dialog, HWND_TOP, 60, 60, 0, 0, SWP_NOSIZE);
    }
    if (shot.ticksSeen < 4) return;
    KillTimer(nullptr, timer);
    Settle(dialog);
    Report(*shot.capture, shot.name, SaveWindow(dialog, shot.capture->folder, shot.name));
    shot.done = true;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void ShootModal(Capture &capture, const char *name, HWND owner, int button, void (*prepare)(HWND)) {
    g_modalShot = {&capture, name, owner, GetTickCount() + 20000, prepare, 0, false};
    UINT_PTR timer = SetTimer(nullptr, 0, 100, ModalTimer);
    SendMessageA(owner, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(owner, button)));
    // A button that opened nothing leaves the timer running.
    KillTimer(nullptr, timer);
    if (!g_modalShot.done) Report(capture, name, false);
}

void TypeBestName(HWND dialog) { SetDlgItemTextA(dialog, IDC_BEST_NAME, "ドライブ用"); }

void ShowDialog(HWND dialog) {
    SetWindowPos(dialog, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(dialog);
    Settle(dialog);
}

// Opens the dialog as the menu does with the check-mark look given, opens
// the partly checked folder (the tree fills it as it fills one the user
// opens), and captures it.  The plain look also shows the all-files tab
// with the drive of the scratch folder opened, and the dialogs behind its
// buttons.
void ShootBestSettings(Capture &capture, const char *name, bool alternative) {
    App().store().SetAltCheckIcons(alternative);
    if (!App().editorHost().OpenBestSettings(BestSettingsOpener::Menu)) {
        Report(capture, name, false);
        return;
    }
    HWND dialog = App().shell().bestDialog;
    HWND tree = GetDlgItem(dialog, IDC_TREE);
    HTREEITEM root = TreeView_GetRoot(tree);
    HTREEITEM partly = root ? tt::ChildLabelled(tree, root, kPartlyFolder) : nullptr;
    if (partly) TreeView_Expand(tree, partly, TVE_EXPAND);
    ShowDialog(dialog);
    Report(capture, name, partly && SaveWindow(dialog, capture.folder, name));
    if (!partly) std::printf("%s: the tree has no folder %s\n", name, kPartlyFolder);

    if (!alternative) {
        ShootModal(capture, "106-advanced-settings", dialog, IDC_ADVANCED, nullptr);
        ShootModal(capture, "107-best-name", dialog, IDC_NEW_BEST, TypeBestName);

        tt::SwitchTab(dialog, 1);
        // My Computer is open and selected; its first drive shows its folders.
        HTREEITEM computer = TreeView_GetSelection(tree);
        HTREEITEM drive = computer ? TreeView_GetChild(tree, computer) : nullptr;
        if (drive) TreeView_Expand(tree, drive, TVE_EXPAND);
        ShowDialog(dialog);
        const char *allFiles = "105-best-settings-all-files";
        Report(capture, allFiles, drive && SaveWindow(dialog, capture.folder, allFiles));
        if (!drive) std::printf("%s: My Computer shows no drive\n", allFiles);
    }
    App().editorHost().CloseBestSettings(BestSettingsResult());
}

// The About view, opened by its menu command; its animation has run for a
// few ticks.
void ShootAbout(Capture &capture) {
    const char *name = "104-about";
    if (HWND resident = App().shell().resident) SendMessageA(resident, WM_COMMAND, IDM_VERSION, 0);
    HWND about = App().about().window();
    bool ok = false;
    if (about) {
        SetWindowPos(about, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
        for (int tick = 0; tick < 5; ++tick) SendMessageA(about, WM_TIMER, kAboutAnimationTimer, 0);
        Settle(about);
        ok = IsWindowVisible(about) && SaveWindow(about, capture.folder, name);
        SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
    }
    Report(capture, name, ok);
}

void ShootProgramScenes(Capture &capture) {
    SceneFolder scene;
    if (!scene.Make()) {
        std::printf("the scratch MIDI folder could not be made\n");
        for (const char *name : {"104-about", "105-best-settings", "105-best-settings-alt"}) Report(capture, name, false);
        return;
    }
    SceneValue root(kProgramKey, "Root", REG_SZ, scene.midi());
    // The all-files tab lists the desktop's folders; Wine's desktop is the
    // Unix home, which is no user's desktop.
    SceneValue desktop(kUserShellFolders, "Desktop", REG_EXPAND_SZ, scene.desktop());
    App().shell().resident = App().CreateResidentWindow();
    App().store().UseDataFolder(scene.dir().c_str());
    EngineInit();
    // Settings as a user would have them: one option ticked, the usual
    // priority, both hotkeys chosen.
    unsigned char settings[kSettingsSize] = {};
    settings[4] = 2;  // 通常
    App().store().UseSettings(settings, sizeof settings);
    App().store().SetOption(Option::Random, 1);
    App().store().SetHotkeys(MAKEWORD('N', HOTKEYF_CONTROL | HOTKEYF_ALT), MAKEWORD('M', HOTKEYF_CONTROL | HOTKEYF_ALT));
    App().player().SetCurrentBestName(kFavouriteBest);

    ShootAbout(capture);
    ShootBestSettings(capture, "105-best-settings", false);
    ShootBestSettings(capture, "105-best-settings-alt", true);

    App().player().SetCurrentBestName(nullptr);
    // The program's own exit: the engine closed, then the window destroyed
    // once the quit message it posts is taken.
    App().RequestExit(ExitReason::ExitCommand);
    App().RunMessageLoop();
    App().store().UseDataFolder(store::DataFolder{});
    App().store().UseSettings(nullptr, 0);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot_tool OUTPUT-FOLDER\n");
        return 100;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                                          ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Capture capture = {argv[1], 0};
    ShootTrayMenu(capture);
    ShootImageSheet(capture);
    // Last: the resident window it makes ends the message loop when it goes.
    ShootProgramScenes(capture);
    return capture.failures;
}
