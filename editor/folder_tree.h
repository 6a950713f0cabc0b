// The folder tree of the best settings dialog (control 1004 under the tab
// control 1034): on the MIDI tab the MIDI folder, on the all-files tab the
// Shell namespace down to every drive and share (editor/shell_tree.h), both
// filled folder by folder as they are opened, with a mark on every
// file and folder that says whether it belongs to the edited best.  The tree
// is subclassed for its clicks, keys, context menu and preview; album names
// are edited as its labels.  Set-up, tabs and fills are in folder_tree.cpp;
// the tree's clicks, keys, context menu, preview and label edits in
// folder_tree_clicks.cpp.
#ifndef TIVORN_EDITOR_FOLDER_TREE_H
#define TIVORN_EDITOR_FOLDER_TREE_H

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "editor/edit_model.h"
#include "editor/handler_depth.h"
#include "editor/mark_tree.h"
#include "editor/shell_tree.h"
#include "store/store.h"
#include "utils/image_list.h"
#include "utils/private_messages.h"

class EditorHost;

class FolderTree : public tree::MarkTree, private tree::FillSite, private ShellTreeSite {
public:
    // state: the dialog's edited best; midiFolder: its MIDI folder buffer;
    // depth: its handlers under way, which the tree's own handlers join.
    FolderTree(EditState *state, const char *midiFolder, EditorHost *host, Store &store, HandlerDepth &depth)
        : state_(state), midiFolder_(midiFolder), host_(host), store_(store), depth_(depth), shell_(this) {}
    FolderTree(const FolderTree &) = delete;
    FolderTree &operator=(const FolderTree &) = delete;

    // Takes the dialog's tree and tab controls.
    void Attach(HWND dialog);
    // Subclasses the tree, makes the image lists, obtains the Shell's desktop
    // folder and, with it, makes the two tabs and shows the MIDI tab.
    // Without the desktop folder there are no tabs and the tree stays empty.
    void SetUp();
    // Takes the tree's subclass away and frees what SetUp made.
    void TearDown();

    // Shows the tab (0 MIDI, 1 all files) anew from the edited best.
    void ShowTab(int tab);
    bool MidiTab() const { return midiTab_; }
    // The tab control was switched by the user.
    void OnTabChanged();

    // Ends a label edit that is still open and keeps what was typed, as a
    // click elsewhere does (a cancelled edit would remove the album name).
    // Needed before the items and the names table go, and before the dialog
    // closes: a tab click or a command does not take the focus from the edit.
    void EndLabelEdit();

    // The tree's and tab's notices, routed here by the dialog.  True when
    // handled, with the dialog's result in *result.
    bool OnNotify(const NMHDR *notice, LRESULT *result);

    // The marks into the edited best's entry list; true when an item
    // had been changed.
    bool Collect();

    // The default best: one checked item standing for the whole MIDI folder,
    // for the collection to take in before any tree is shown.
    void MarkWholeMidiFolder();

    // The mark images anew, after the look changed.
    void BuildStateImages();

    // A names table smaller than the index allows, so that tests fill it.
    void SetNameCap(size_t cap) { names_.SetCap(cap); }

    // --- tree::MarkTree ---------------------------------------------------
    tree::Item FirstChild(tree::Item parent) override;
    tree::Item NextSibling(tree::Item item) override;
    tree::Item Parent(tree::Item item) override;
    unsigned State(tree::Item item) override;
    void SetStateImage(tree::Item item, unsigned bits) override;
    uint32_t Data(tree::Item item) override;
    void SetData(tree::Item item, uint32_t data) override;
    bool IsFile(tree::Item item) override;
    const char *Name(uint32_t index) override;

private:
    static HTREEITEM AsHandle(tree::Item item) { return reinterpret_cast<HTREEITEM>(item); }
    static tree::Item AsItem(HTREEITEM item) { return reinterpret_cast<tree::Item>(item); }
    HINSTANCE Instance() const;

    static LRESULT CALLBACK TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnTreeMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyboardContextMenu();
    void TellLeftOutNow();
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    TVITEMA Read(tree::Item item, UINT fields);
    LRESULT OnCaptureChanged(bool internal, WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    void ShowContextMenu(HTREEITEM item, POINT at);

    void Rebuild();
    void BuildMidiTree();
    void FillFolder(HTREEITEM item);
    enum class ItemKind { Folder, File };
    bool PushName(const char *name, ItemKind kind, uint32_t *index);
    // A new item's images: the tab's own for a file or folder at path.
    void SetImages(TVITEMA *item, const std::string &path, ItemKind kind);
    // Tells the user, once per opening of the dialog, that the names table
    // is full.
    void TellTreeFull();

    // --- tree::FillSite ---
    size_t NameRoom() override { return names_.Room(); }
    void InsertChild(tree::Item folder, const std::string &name, const std::string &path, bool file, unsigned state,
                     uint32_t bits) override;
    void DropExpandButton(tree::Item folder) override;

    // --- ShellTreeSite ---
    bool PushFolderPath(const std::string &path, uint32_t *index) override;
    unsigned FolderPathMark(const std::string &path) override;
    // Tells the user, once per opening of the dialog, of the files and
    // folders (full paths) a fill left out because their names cannot be
    // spelt in code page 932, not even by a short name.
    void TellLeftOut(const std::vector<std::wstring> &paths) override;
    // The item at a point of the client area, or under the mouse cursor,
    // when its hit-test flags share a bit with flags; else null.
    HTREEITEM HitAt(POINT client, UINT flags);
    HTREEITEM HitUnderCursor(UINT flags);
    HTREEITEM Selected();
    std::string PathOf(HTREEITEM item);
    void Preview(HTREEITEM item);

    LRESULT OnBeginLabelEdit(const NMTVDISPINFOA *info);
    LRESULT OnEndLabelEdit(const NMTVDISPINFOA *info);

    EditState *state_;
    const char *midiFolder_;
    EditorHost *host_;
    Store &store_;
    HandlerDepth &depth_;
    HWND dialog_ = nullptr;
    HWND tree_ = nullptr;
    HWND tabs_ = nullptr;
    WNDPROC previous_ = nullptr;  // the tree's procedure below TreeProc while it is subclassed
    ImageList normalImages_;
    ImageList stateImages_;
    int rootImage_ = 0;
    int folderImage_ = 0;
    int fileImage_ = 0;
    bool midiTab_ = true;
    tree::NameTable names_;
    ShellTree shell_;
    // A fill reads the album names when it inserts its first folder.
    AlbumNames albums_;
    bool albumsRead_ = false;
    bool toldFull_ = false;
    bool toldLeftOut_ = false;
    std::vector<std::wstring> leftOut_;  // met, not yet told

    // A click is completed only when the tree gives the mouse back over the
    // item the button went down on.
    HTREEITEM pending_ = nullptr;
    bool rightButton_ = false;
    // A label edit that has begun and not ended: the control may report its
    // end twice (once more when the edit box loses the focus on its way out).
    bool editing_ = false;
    // EndLabelEdit is ending it: no box may come up in the middle of a
    // rebuild or a close.
    bool quietEnd_ = false;
};

#endif
