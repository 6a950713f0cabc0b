// The folder tree's figure: how long a folder of 10,000 MIDI files takes to
// open in the best settings dialog, from the key press on its item to its
// items painted in the tree.  The goal is at most twice the system's own read
// of the folder plus 100 ms, and 200 ms at most.
//
// The real dialog runs in this process, over a scratch MIDI folder and data
// folder, with a best that gives all three marks: the big folder partly
// checked (every other file listed), a small folder wholly checked, another
// unchecked.  Each run opens the dialog afresh, so the folder is filled
// anew; the marks and the number of items are checked every time.
//
// Runs in the test prefix: it writes the program's registry key and removes
// it when done, with every file it made.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "editor/best_settings_dialog.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/best_dialog_driving.h"
#include "testing/fake_editor_host.h"
#include "testing/midi_writer.h"
#include "testing/win_test_support.h"
#include "utils/code_page.h"
#include "utils/folder_listing.h"

namespace {

using namespace bench;

constexpr int kRuns = 5;
constexpr int kBigFiles = 10000;
constexpr double kGoalMs = 200;
const char kBest[] = "Bench";

constexpr unsigned kUnchecked = 0x1000, kChecked = 0x2000, kPartly = 0x3000;

std::string SongName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "song %05d.mid", i);
    return name;
}

// The MIDI folder: "Aaa" (two songs, in the best whole), "Big" (every other
// song in the best), "Zzz" (two songs, none in the best) and a song of its
// own.  The entries are in the order the program keeps them: sub-folders
// first, each with its contents, then the folder's own files.
bool MakeScene(const tt::ScratchFolder &midi, std::vector<std::string> *entries) {
    const midiw::Bytes song = midiw::Tune({60}, 1);
    for (const char *folder : {"Aaa", "Big", "Zzz"}) midi.MakeFolder(folder);
    entries->push_back(midi.Join("Aaa") + "/");
    for (int i = 0; i < 2; ++i) {
        entries->push_back(midi.WriteFile("Aaa\\" + SongName(i), song));
        midi.WriteFile("Zzz\\" + SongName(i), song);
    }
    for (int i = 0; i < kBigFiles; ++i) {
        std::string path = midi.Join("Big\\" + SongName(i));
        if (!midiw::Save(path, song)) return false;
        if (i % 2 == 0) entries->push_back(path);
    }
    midi.WriteFile("own.mid", song);
    return true;
}

unsigned Mark(HWND tree, HTREEITEM item) { return TreeView_GetItemState(tree, item, 0xF000) & 0x3000; }

// What is wrong with the opened big folder and the marks around it; empty
// when all is right.
std::string CheckTree(HWND tree, HTREEITEM root, HTREEITEM big) {
    std::string wrong;
    auto expect = [&](HTREEITEM item, unsigned mark, const std::string &what) {
        if (!item || Mark(tree, item) != mark) wrong += " " + what;
    };
    expect(root, kPartly, "root");
    expect(big, kPartly, "Big");
    expect(tt::ChildLabelled(tree, root, "Aaa"), kChecked, "Aaa");
    expect(tt::ChildLabelled(tree, root, "Zzz"), kUnchecked, "Zzz");
    expect(tt::ChildLabelled(tree, root, "own.mid"), kUnchecked, "own.mid");
    std::vector<HTREEITEM> children = tt::ChildItems(tree, big);
    if (children.size() != static_cast<size_t>(kBigFiles)) {
        wrong += " " + std::to_string(children.size()) + " items";
        return wrong;
    }
    // A sample through the whole folder, first and last included.
    for (int i = 0; i < kBigFiles; i += (i % 2 ? 996 : 1)) {
        if (tt::ItemLabel(tree, children[i]) != SongName(i)) wrong += " label " + std::to_string(i);
        expect(children[i], i % 2 ? kUnchecked : kChecked, SongName(i));
    }
    expect(children.back(), kUnchecked, SongName(kBigFiles - 1));
    return wrong;
}

struct Timing {
    double total = -1;  // the key press to the items painted
    double paint = 0;   // of which the paint after the expansion
};

// One run: the dialog opened, "Big" selected, the right arrow pressed on it.
// *wrong gets what came out wrong.
Timing OneRun(Store &store, std::string *wrong) {
    Timing timing;
    tt::FakeEditorHost host{store};
    host.player().SetCurrentBestName(kBest);
    host.dialog = BestSettingsDialog::Create(GetModuleHandleA(nullptr), nullptr, &host, store);
    if (!host.dialog) {
        *wrong = " the dialog could not be made";
        return timing;
    }
    HWND tree = GetDlgItem(host.dialog, IDC_TREE);
    ShowWindow(host.dialog, SW_SHOW);
    UpdateWindow(host.dialog);
    tt::PumpMessages();
    HTREEITEM root = TreeView_GetRoot(tree);
    HTREEITEM big = tt::ChildLabelled(tree, root, "Big");
    if (big) {
        TreeView_SelectItem(tree, big);
        SetFocus(tree);
        UpdateWindow(tree);
        tt::PumpMessages();
        double begin = Now();
        // The key comes through the queue and the dialog's keys, as the
        // program's message loop offers a user's press to its modeless
        // windows; the tree expands its selected item on the key itself, and
        // the paint comes next, when the window is updated.
        PostMessageA(tree, WM_KEYDOWN, VK_RIGHT, 0);
        MSG message;
        // The paint is left in the queue, to be timed apart.
        const UINT kNoPaint = PM_REMOVE | PM_QS_INPUT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
        while (PeekMessageA(&message, nullptr, 0, 0, kNoPaint)) {
            if (IsDialogMessageA(host.dialog, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        double expanded = Now();
        UpdateWindow(tree);
        double end = Now();
        timing.total = end - begin;
        timing.paint = end - expanded;
        RECT unpainted;
        if (GetUpdateRect(tree, &unpainted, FALSE)) *wrong += " (not painted)";
        *wrong += CheckTree(tree, root, big);
    } else {
        *wrong = " no item Big";
    }
    DestroyWindow(host.dialog);
    host.dialog = nullptr;
    tt::PumpMessages();
    return timing;
}

// The folder read once by the system alone, in milliseconds: the floor under
// whatever the tree does with it.  The long names in UTF-16, in large
// fetches, nothing asked beyond them.
double RawListingTime(const std::string &folder) {
    std::wstring pattern = codepage::Widen((folder + "\\*").c_str());
    double begin = Now();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE) {
        while (FindNextFileW(search, &found)) {
        }
        FindClose(search);
    }
    return Now() - begin;
}

// The program's own listing of the folder: the same read, each name spelt
// in the code page and the names sorted.
double ListingTime(const std::string &folder) {
    double begin = Now();
    listing::FolderEntries entries;
    listing::ListEntries((folder + "\\*.*").c_str(), &entries);
    return Now() - begin;
}

// The steps of a fill, each on a bare tree of its own: the items alone,
// then with their icons, then with their check marks as well, and the last
// again with the tree subclassed as the dialog's is.
enum class Step { Items, Icons, Marks, Subclassed, Count };

LRESULT CALLBACK PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    return DefSubclassProc(window, message, wParam, lParam);
}

double InsertTime(Step step, HIMAGELIST images, HIMAGELIST marks) {
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES, 0, 0,
                                300, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (step >= Step::Icons) TreeView_SetImageList(tree, images, TVSIL_NORMAL);
    if (step >= Step::Marks) TreeView_SetImageList(tree, marks, TVSIL_STATE);
    if (step == Step::Subclassed) SetWindowSubclass(tree, PassOn, 1, 0);
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    insert.item.pszText = const_cast<char *>("Big");
    insert.item.cChildren = 1;
    HTREEITEM parent = TreeView_InsertItem(tree, &insert);
    UpdateWindow(tree);
    std::vector<std::string> names;
    for (int i = 0; i < kBigFiles; ++i) names.push_back(SongName(i));
    double begin = Now();
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    insert.hParent = parent;
    TVITEMA &item = insert.item;
    item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    if (step >= Step::Icons) item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    if (step >= Step::Marks) item.mask |= TVIF_STATE;
    item.cChildren = 0;
    item.iImage = item.iSelectedImage = 0;
    item.stateMask = TVIS_STATEIMAGEMASK;
    for (int i = 0; i < kBigFiles; ++i) {
        item.pszText = const_cast<char *>(names[i].c_str());
        item.lParam = i;
        item.state = INDEXTOSTATEIMAGEMASK(i % 2 ? 1 : 2);
        TreeView_InsertItem(tree, &insert);
    }
    TreeView_Expand(tree, parent, TVE_EXPAND);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
    UpdateWindow(tree);
    double time = Now() - begin;
    if (step == Step::Subclassed) RemoveWindowSubclass(tree, PassOn, 1);
    DestroyWindow(tree);
    tt::PumpMessages();
    return time;
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    int status = 0;
    {
        tt::ScratchFolder data, midi;
        std::vector<std::string> entries;
        if (!MakeScene(midi, &entries)) {
            std::printf("the MIDI folder could not be made\n");
            return 1;
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
        SetString(kProgramKey, "Root", midi.path());
        SetString(kEngineKey, "Output", "log:" + data.Join("play.log"));
        data.WriteFile("KORVEL.dat", bestbytes::File({bestbytes::Record(kBest, entries)}));
        Store store;
        store.UseDataFolder(data.path().c_str());
        unsigned char settings[29] = {};
        settings[4] = 2;  // 通常
        store.UseSettings(settings, sizeof settings);
        bool engine = EngineInit() != 0;

        // One run unmeasured: the first opening of a session loads what later
        // ones find ready.
        std::string wrong;
        OneRun(store, &wrong);
        HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 3, 0);
        HIMAGELIST marks = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 4, 0);
        for (HIMAGELIST list : {images, marks})
            for (int i = 0; i < 4; ++i) ImageList_AddIcon(list, LoadIconA(nullptr, IDI_APPLICATION));
        std::vector<double> times, paints, raws, listings, steps[static_cast<int>(Step::Count)];
        for (int run = 0; run < kRuns && wrong.empty(); ++run) {
            Timing timing = OneRun(store, &wrong);
            if (timing.total < 0) continue;
            times.push_back(timing.total);
            paints.push_back(timing.paint);
            raws.push_back(RawListingTime(midi.Join("Big")));
            listings.push_back(ListingTime(midi.Join("Big")));
            for (int step = 0; step < static_cast<int>(Step::Count); ++step)
                steps[step].push_back(InsertTime(static_cast<Step>(step), images, marks));
        }
        ImageList_Destroy(images);
        ImageList_Destroy(marks);
        if (!wrong.empty() || times.empty()) {
            std::printf("opening a folder of %d files: WRONG MARKS OR ITEMS:%s\n", kBigFiles, wrong.c_str());
            status = 1;
        } else {
            double median = Median(times), raw = Median(raws);
            // Twice the system's own read, plus 0.1 s for the rest, and never
            // more than 0.2 s.
            double goal = std::min(2 * raw + 100, kGoalMs);
            std::printf("opening a folder of %d files, key press to items painted: median %.0f ms (runs", kBigFiles,
                        median);
            for (double ms : times) std::printf(" %.0f", ms);
            std::printf("); goal at most %.0f ms (2 x the raw listing + 100 ms, at most %.0f): ", goal, kGoalMs);
            if (median <= goal)
                std::printf("met\n");
            else
                std::printf("MISSED by %.0f ms\n", median - goal);
            double paint = Median(paints);
            std::printf("  of which the paint %.0f ms, and the expansion with the folder's listing, items and marks\n"
                        "  %.0f ms\n",
                        paint, median - paint);
            std::printf("  step by step, the median of %zu runs of each alone:\n", times.size());
            std::printf("    the raw listing (FindFirstFileExW, basic, large fetch)  %6.1f ms\n", raw);
            std::printf("    the program's listing, names spelt and sorted         %6.1f ms\n", Median(listings));
            const char *stepNames[] = {"10,000 items into a bare tree", "  with their icons", "  and their check marks",
                                       "  the same, the tree subclassed"};
            for (int step = 0; step < static_cast<int>(Step::Count); ++step)
                std::printf("    %-54s %6.1f ms\n", stepNames[step], Median(steps[step]));
            Figure("tree: 10,000-file folder opened", median, "ms", raw, "raw listing");
        }

        if (engine) EngineClose();
        RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    }
    return status;
}
