// The advanced settings dialog (template 106), modal over the best settings
// dialog: the two hotkeys, the media keys, how looped songs play, the notice
// of each song, the look of the folder tree's marks and the
// data folder that holds KORVEL.ini and KORVEL.dat.  The playback priority
// and reading files at once are shown and cannot be changed.
#ifndef TIVORN_EDITOR_ADVANCED_DIALOG_H
#define TIVORN_EDITOR_ADVANCED_DIALOG_H

#include <windows.h>

#include <functional>
#include <string>

#include "store/settings.h"

class Store;

// How the MIDI folder and the data folder are chosen: the engine's folder
// picker, or what a test puts in its place.  folder: KORVEL_PATH_BUFFER
// bytes.  Nonzero when a folder was chosen.
using FolderPicker = int (*)(HWND owner, char *folder, const char *prompt, const char *caption);

enum class AdvancedEnd {
    Cancelled,  // Cancel or Close: nothing is to change
    Accepted,   // OK: what the dialog showed is to be applied
};

enum class CheckLook {
    Standard,
    Alternative,
};

enum class MediaKeyUse {
    Off,
    On,
};

enum class SongNoticeUse {
    Off,
    On,
};

// What the user chose; the best settings dialog applies it, since the
// mark look changes its tree.
struct AdvancedChoice {
    AdvancedEnd end = AdvancedEnd::Cancelled;
    unsigned nextHotkey = 0;  // HKM_GETHOTKEY's low word
    unsigned menuHotkey = 0;
    CheckLook look = CheckLook::Standard;
    MediaKeyUse mediaKeys = MediaKeyUse::On;
    LoopPlayUse loopPlay = LoopPlayUse::TwiceAndFade;
    SongNoticeUse songNotice = SongNoticeUse::Off;
    std::string dataFolder;   // as shown; empty when no other folder was chosen
};

// Runs the dialog over owner until OK, Cancel or Close.
AdvancedChoice RunAdvancedSettings(HWND owner, FolderPicker picker, const Store &store);

// What became of a chosen data folder.
enum class DataFolderChange {
    None,      // none was chosen
    Kept,      // chosen, moved or not, with the same bests as before
    Switched,  // its own files were taken: the bests are now that folder's
};

// Moves both data files into the chosen folder, after asking before files
// already there are replaced.  Boxes are owned by owner.  leaveEdits runs
// before the data folder switches to files found there, and may refuse
// (the edits of the best on screen belong to the folder being left).  The
// settings are saved whenever a folder was chosen.
DataFolderChange MoveChosenDataFolder(HWND owner, const AdvancedChoice &choice, Store &store,
                                      const std::function<bool()> &leaveEdits);

#endif
