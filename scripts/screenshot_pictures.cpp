// The pictures of the program outside its windows: the tray menu as the
// resident window shows it (and with its output submenu open), and a sheet
// of every image list, menu bitmap and icon.
#include <windows.h>
#include <commctrl.h>

#include "resources/resource_ids.h"
#include "screenshot_tool.h"
#include "shell/application.h"
#include "shell/output_menu.h"
#include "shell/popup_menu.h"

namespace shots {
namespace {

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
    if (message == WM_MEASUREITEM && MeasureMenuPicture(App().state(), reinterpret_cast<MEASUREITEMSTRUCT *>(lParam)))
        return TRUE;
    if (message == WM_DRAWITEM && DrawMenuPicture(App().state(), reinterpret_cast<const DRAWITEMSTRUCT *>(lParam)))
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
        item.hbmpChecked = App().state().checkBitmap.Get();
        item.dwTypeData = const_cast<char *>(labels[i]);
        InsertMenuItemA(tray, i, TRUE, &item);
    }
}

}  // namespace

void ShootTrayMenu(Capture &capture) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MenuOwnerProc;
    windowClass.hInstance = Instance();
    windowClass.lpszClassName = "TivornScreenshotOwner";
    RegisterClassA(&windowClass);
    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, Instance(), nullptr);
    LoadPopupMenu(App().state());
    HMENU tray = App().state().popupMenu ? GetSubMenu(App().state().popupMenu, 0) : nullptr;
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
    UnloadPopupMenu(App().state());
    if (owner) DestroyWindow(owner);
}

namespace {

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

}  // namespace

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

}  // namespace shots
