// The dialog templates and the menu, created in process from the program's
// own resources.  What is checked is what the program's code and its users
// depend on: every control with its id and class (code reaches controls by
// id), texts, tab order, the style bits that change behaviour (default
// button, read-only, owner drawing, drop-down lists, disabled controls, tab
// stops), and a layout the user can use: every control inside the dialog,
// none covering another.  Coordinates themselves are the script's business.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "testing/win_test_support.h"

namespace {

struct ControlLayout {
    int id;
    const char *className;
    const char *text;      // nullptr: not compared
    DWORD styleMask;
    DWORD style;
    DWORD exStyle;         // bits that must be set
};

struct TemplateLayout {
    int templateId;
    const char *caption;
    int pointSize;
    DWORD style;           // dialog style bits that must be set
    DWORD absentStyle;     // dialog style bits that must be clear
    bool visible;
    std::vector<ControlLayout> controls;  // in template order
};

constexpr DWORD kType = BS_TYPEMASK;
constexpr DWORD kComboType = 0x3;  // CBS_SIMPLE / CBS_DROPDOWN / CBS_DROPDOWNLIST
constexpr DWORD kEditBits = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED;
constexpr DWORD kButtonBits = kType | WS_TABSTOP | WS_DISABLED;
// The combo box hands WS_VSCROLL to its list, so it is not compared.
constexpr DWORD kComboBits = kComboType | CBS_SORT | WS_TABSTOP | WS_DISABLED;
constexpr DWORD kStaticBits = WS_GROUP | WS_DISABLED;
constexpr DWORD kDialogFrame = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER;

const char kFontFace[] = "ＭＳ Ｐゴシック";

const TemplateLayout kResident = {
    IDD_RESIDENT, "Tivorn", 10, kDialogFrame, WS_SYSMENU, false,
    {
        {IDOK, "Button", "OK", kButtonBits, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
        {IDCANCEL, "Button", "キャンセル", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
    }};

const TemplateLayout kBestSettings = {
    IDD_BEST_SETTINGS, "ベストの設定 - Tivorn", 9, kDialogFrame | WS_SYSMENU, 0, true,
    {
        {IDC_BEST_LIST, "ComboBox", nullptr, kComboBits, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0},
        {IDC_TREE, "SysTreeView32", "Tree1", TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | WS_BORDER | WS_TABSTOP,
         TVS_HASBUTTONS | TVS_HASLINES | TVS_EDITLABELS | WS_BORDER | WS_TABSTOP, WS_EX_CLIENTEDGE},
        {IDC_TABS, "SysTabControl32", "Tab1", TCS_BOTTOM | WS_CLIPSIBLINGS, TCS_BOTTOM | WS_CLIPSIBLINGS, 0},
        {IDC_NEW_BEST, "Button", "", kButtonBits, BS_OWNERDRAW | WS_TABSTOP, 0},
        {IDC_SAVE_BEST, "Button", "", kButtonBits, BS_OWNERDRAW | WS_TABSTOP, 0},
        {IDC_DELETE_BEST, "Button", "", kButtonBits, BS_OWNERDRAW | WS_TABSTOP, 0},
        {IDC_PLAY_BEST_GROUP, "Button", "再生するベスト", kType, BS_GROUPBOX, 0},
        {IDC_PLAY_BEST, "Edit", "", kEditBits, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER, 0},
        {IDC_CHANGE_PLAY_BEST, "Button", "ベストを変更(&B)", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
        {IDC_MIDI_GROUP, "Button", "MIDIフォルダ", kType, BS_GROUPBOX, 0},
        {IDC_MIDI_FOLDER, "Edit", "", kEditBits, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER, 0},
        {IDC_CHANGE_MIDI_FOLDER, "Button", "パスを変更(&W)", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
        {IDC_RANDOM, "Button", "ランダムプレイ(&R)", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_SKIP_SHORTCUTS, "Button", "ショートカットを再生しない(&S)", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_AUTO_SAVE, "Button", "ベストの変更点を自動で保存する(&A)", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_HOTKEYS, "Button", "ホットキーを使う(&H)", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_ADVANCED, "Button", "高度な設定(&O)", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
        {IDC_CANCEL, "Button", "ｷｬﾝｾﾙ", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
        {IDC_OK, "Button", "OK", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
    }};

const TemplateLayout kAdvanced = {
    IDD_ADVANCED, "高度な設定", 9, kDialogFrame | WS_SYSMENU, 0, true,
    {
        {IDC_READ_AT_ONCE, "Button", "MIDIファイルを一度に読み込む", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP | WS_DISABLED, 0},
        {IDC_ALT_CHECK_ICONS, "Button", "チェックボックスのアイコンを変える", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_STATIC_NONE, "Static", "再生の優先度", kStaticBits, WS_GROUP | WS_DISABLED, 0},
        {IDC_PRIORITY, "ComboBox", nullptr, kComboBits, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_DISABLED, 0},
        {IDC_STATIC_NONE, "Static", "早送りのホットキー", kStaticBits, WS_GROUP, 0},
        {IDC_HOTKEY_NEXT, "msctls_hotkey32", "HotKey1", WS_BORDER | WS_TABSTOP | WS_DISABLED, WS_BORDER | WS_TABSTOP, 0},
        {IDC_STATIC_NONE, "Static", "メニュー表示のホットキー", kStaticBits, WS_GROUP, 0},
        {IDC_HOTKEY_MENU, "msctls_hotkey32", "HotKey2", WS_BORDER | WS_TABSTOP | WS_DISABLED, WS_BORDER | WS_TABSTOP, 0},
        {IDC_DATA_GROUP, "Button", "設定ファイルを保存するフォルダ", kType, BS_GROUPBOX, 0},
        {IDC_DATA_FOLDER, "Edit", "", kEditBits, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER, 0},
        {IDC_CHANGE_DATA_FOLDER, "Button", "パスを変更", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
        {IDC_MEDIA_KEYS, "Button", "メディアキーで操作する", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_STATIC_NONE, "Static", "ループ再生", kStaticBits, WS_GROUP, 0},
        {IDC_LOOP_PLAY, "ComboBox", nullptr, kComboBits, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0},
        {IDC_SONG_NOTICE, "Button", "曲名を通知する", kButtonBits, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_CANCEL, "Button", "ｷｬﾝｾﾙ", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
        {IDC_OK, "Button", "OK", kButtonBits, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    }};

const TemplateLayout kBestName = {
    IDD_BEST_NAME, "ベスト名の入力", 9, kDialogFrame | WS_SYSMENU, 0, true,
    {
        {IDC_STATIC_NONE, "Static", "新しいベスト名を入力してください", kStaticBits, WS_GROUP, 0},
        {IDC_BEST_NAME, "Edit", "", kEditBits, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
        {IDCANCEL, "Button", "ｷｬﾝｾﾙ", kButtonBits, BS_PUSHBUTTON | WS_TABSTOP, 0},
        {IDOK, "Button", "OK", kButtonBits, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    }};

// A dialog created from a template with a procedure that only records the
// commands it receives.
class TemplateWindow {
public:
    explicit TemplateWindow(int templateId) {
        static const bool initialised = [] {
            INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                                                  ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
            return InitCommonControlsEx(&controls) != FALSE;
        }();
        (void)initialised;
        commands().clear();
        window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr,
                                     Procedure, 0);
    }
    ~TemplateWindow() {
        if (window_) DestroyWindow(window_);
    }
    TemplateWindow(const TemplateWindow &) = delete;
    TemplateWindow &operator=(const TemplateWindow &) = delete;

    HWND get() const { return window_; }
    static std::vector<int> &commands() {
        static std::vector<int> received;
        return received;
    }

private:
    static INT_PTR CALLBACK Procedure(HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_INITDIALOG) return TRUE;
        if (message == WM_COMMAND) commands().push_back(LOWORD(wParam));
        return FALSE;
    }

    HWND window_;
};

// A control's rectangle in its dialog's client coordinates.
RECT Placed(HWND control, HWND dialog) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&r), 2);
    return r;
}

// Frames (group boxes, the tab control) hold other controls; nothing else may
// cover another control.
bool IsFrame(HWND control) {
    return tt::ClassName(control) == "SysTabControl32" ||
           (tt::ClassName(control) == "Button" && (GetWindowLongPtrA(control, GWL_STYLE) & kType) == BS_GROUPBOX);
}

// Edits and trees turn WS_BORDER into a sunken client edge when they are
// created; either shows that the template asked for a border.
bool HasBorder(HWND window) {
    return (GetWindowLongPtrA(window, GWL_STYLE) & WS_BORDER) ||
           (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

void CheckDialog(const TemplateLayout &layout, HWND window) {
    EXPECT_EQ(tt::WindowText(window), layout.caption);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    EXPECT_EQ(style & layout.style, layout.style) << std::hex << style;
    EXPECT_EQ(style & layout.absentStyle, 0u) << std::hex << style;
    EXPECT_EQ(IsWindowVisible(window) != FALSE, layout.visible);

    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTA logFont = {};
    ASSERT_TRUE(GetObjectA(font, sizeof logFont, &logFont));
    EXPECT_STREQ(logFont.lfFaceName, kFontFace);
    HDC screen = GetDC(nullptr);
    int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(logFont.lfHeight, -MulDiv(layout.pointSize, pixelsPerInch, 72));
}

// Template order is also the tab and z order: the children come in it.
void CheckControls(const TemplateLayout &layout, HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(children.size(), layout.controls.size());

    for (size_t i = 0; i < children.size(); ++i) {
        const ControlLayout &c = layout.controls[i];
        HWND child = children[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(c.id) + ")");
        EXPECT_EQ(GetDlgCtrlID(child), c.id);
        EXPECT_EQ(lstrcmpiA(tt::ClassName(child).c_str(), c.className), 0) << tt::ClassName(child);
        if (c.text) {
            EXPECT_EQ(tt::WindowText(child), c.text);
        }

        DWORD style = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE));
        DWORD mask = c.styleMask & ~WS_BORDER;
        EXPECT_EQ(style & mask, c.style & mask) << std::hex << style;
        if (c.styleMask & WS_BORDER) {
            EXPECT_EQ(HasBorder(child), (c.style & WS_BORDER) != 0);
        }
        DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_EXSTYLE));
        EXPECT_EQ(exStyle & c.exStyle, c.exStyle) << std::hex << exStyle;
        EXPECT_EQ(IsWindowEnabled(child) == FALSE, (c.style & WS_DISABLED) != 0);

        RECT client, placed = Placed(child, dialog), joint;
        GetClientRect(dialog, &client);
        EXPECT_TRUE(!IsRectEmpty(&placed) && UnionRect(&joint, &client, &placed) && EqualRect(&joint, &client))
            << "outside the dialog";
        for (size_t j = 0; j < i; ++j) {
            RECT other = Placed(children[j], dialog), inner;
            if (!IntersectRect(&inner, &placed, &other)) continue;
            bool framed = (IsFrame(child) && EqualRect(&inner, &other)) ||
                          (IsFrame(children[j]) && EqualRect(&inner, &placed));
            EXPECT_TRUE(framed) << "covers control " << j;
        }
    }
}

// Enter goes to the default button.  Where there is none (best settings) it
// arrives as the generic OK command, and Esc as the generic Cancel command,
// which best settings must not carry on any control.
void CheckKeys(const TemplateLayout &layout, HWND window) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    HWND focus = GetNextDlgTabItem(window, nullptr, FALSE);
    ASSERT_NE(focus, nullptr);
    SetFocus(focus);

    int defaultButton = 0;
    for (const ControlLayout &c : layout.controls)
        if (lstrcmpiA(c.className, "Button") == 0 && (c.style & kType) == BS_DEFPUSHBUTTON) defaultButton = c.id;

    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        TemplateWindow::commands().clear();
        MSG msg = {focus, WM_KEYDOWN, key, 0x00010001, 0, {0, 0}};
        IsDialogMessageA(window, &msg);
        ASSERT_EQ(TemplateWindow::commands().size(), 1u) << "key " << key;
        int command = TemplateWindow::commands()[0];
        if (key == VK_RETURN && defaultButton) {
            EXPECT_EQ(command, defaultButton);
            continue;
        }
        EXPECT_EQ(command, key == VK_RETURN ? IDOK : IDCANCEL) << "key " << key;
        if (layout.templateId == IDD_BEST_SETTINGS) {
            EXPECT_EQ(GetDlgItem(window, command), nullptr);
        }
    }
}

// One dialog per template: showing and hiding windows is slow under Wine.
void CheckTemplate(const TemplateLayout &layout) {
    TemplateWindow dialog(layout.templateId);
    ASSERT_NE(dialog.get(), nullptr) << "template " << layout.templateId;
    {
        SCOPED_TRACE("dialog");
        CheckDialog(layout, dialog.get());
    }
    CheckControls(layout, dialog.get());
    {
        SCOPED_TRACE("keys");
        CheckKeys(layout, dialog.get());
    }
}

TEST(DialogTemplates, ResidentWindowIsAHiddenAboutViewWithOkAndCancel) { CheckTemplate(kResident); }
TEST(DialogTemplates, BestSettingsHasNoDefaultButtonAndReadOnlyFields) { CheckTemplate(kBestSettings); }
TEST(DialogTemplates, AdvancedSettingsShowsPriorityAndReadAtOnceDisabled) { CheckTemplate(kAdvanced); }
TEST(DialogTemplates, BestNameTakesEnterAsOkAndEscAsCancel) { CheckTemplate(kBestName); }

// ---------------------------------------------------------------------------
// Menu IDR_POPUP_MENU

struct MenuRow {
    UINT id;          // 0: separator
    const char *text;
    bool grayed;
};

const MenuRow kTrayMenu[] = {
    {0, nullptr, false},
    {IDM_BEST_SETTINGS, "ベストの設定(&O)", false},
    {IDM_PLAY, "再生(&P)", false},
    {IDM_STOP, "停止(&S)", true},
    {IDM_NEXT, "次の曲(&N)", false},
    {IDM_REWIND, "巻き戻し(&B)", false},
    {IDM_REPEAT_ONE, "１曲リピート(&E)", false},
    {IDM_RANDOM, "ランダム(&R)", false},
    {IDM_CLEAR_HISTORY, "ランダムデータの消去(&C)", false},
    {IDM_SONG_INFO, "再生中の曲の情報(&I)", false},
    {0, nullptr, false},
    {IDM_HELP, "ヘルプ(&H)", false},
    {IDM_VERSION, "バージョン情報(&V)", false},
    {static_cast<UINT>(-1), "出力先(&D)", false},  // a submenu
    {IDM_EXIT, "終了(&X)", false},
};

class Menu {
public:
    Menu() : menu_(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUP_MENU))) {}
    ~Menu() { if (menu_) DestroyMenu(menu_); }
    Menu(const Menu &) = delete;
    Menu &operator=(const Menu &) = delete;
    HMENU get() const { return menu_; }

private:
    HMENU menu_;
};

std::string MenuText(HMENU menu, UINT position) {
    char text[256] = {};
    GetMenuStringA(menu, position, text, ARRAYSIZE(text), MF_BYPOSITION);
    return text;
}

TEST(PopupMenu, TrayMenuListsTheCommandsInOrderWithStopGrayed) {
    Menu menu;
    ASSERT_NE(menu.get(), nullptr);
    ASSERT_EQ(GetMenuItemCount(menu.get()), 2);
    HMENU tray = GetSubMenu(menu.get(), 0);
    ASSERT_NE(tray, nullptr);
    ASSERT_EQ(GetMenuItemCount(tray), static_cast<int>(ARRAYSIZE(kTrayMenu)));
    for (UINT i = 0; i < ARRAYSIZE(kTrayMenu); ++i) {
        const MenuRow &row = kTrayMenu[i];
        SCOPED_TRACE("position " + std::to_string(i));
        UINT state = GetMenuState(tray, i, MF_BYPOSITION);
        if (!row.id) {
            EXPECT_TRUE(state & MF_SEPARATOR);
            continue;
        }
        EXPECT_EQ(GetMenuItemID(tray, i), row.id);
        EXPECT_EQ(MenuText(tray, i), row.text);
        EXPECT_EQ((state & MF_GRAYED) != 0, row.grayed);
        EXPECT_FALSE(state & MF_CHECKED);
    }
}

TEST(PopupMenu, SecondPopupIsTheTreeContextMenuWithPlay) {
    Menu menu;
    ASSERT_NE(menu.get(), nullptr);
    EXPECT_EQ(MenuText(menu.get(), 1), "ファイル");
    HMENU context = GetSubMenu(menu.get(), 1);
    ASSERT_NE(context, nullptr);
    ASSERT_EQ(GetMenuItemCount(context), 1);
    EXPECT_EQ(GetMenuItemID(context, 0), static_cast<UINT>(IDM_PLAY));
    EXPECT_EQ(MenuText(context, 0), "再生(&P)");
    EXPECT_EQ(GetMenuState(context, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED), 0u);
}

}  // namespace
