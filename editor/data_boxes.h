// The boxes that stand between a data file that cannot be had and the
// default best: a best file that cannot be read, a data folder that cannot
// be reached; and those of a save that cannot be made, which keep the
// dialog and its edits as they are.  Neither is ever taken for one without bests, which would
// replace them with the default best and clear every played history; the
// user is told, with the choice to try again (true) or to give up (false),
// which leaves every file and registry value as it is.
#ifndef TIVORN_EDITOR_DATA_BOXES_H
#define TIVORN_EDITOR_DATA_BOXES_H

#include <windows.h>

// The best file exists or may exist but cannot be read (held for long,
// offline, out of reach).  Giving up ends Tivorn.
bool AskRetryUnreadableBestFile(HWND owner);

// What waits for a folder that cannot be reached.
enum class FolderWait {
    Start,  // the data folder "DataPath" names: giving up ends Tivorn
    Move,   // a folder of the data files' move: giving up leaves them where they are
};
bool AskRetryUnreachableFolder(HWND owner, const char *folder, FolderWait wait);

// The best file could not be written (held for long, another copy saving, a
// full disk, a drive out of reach, read-only media): true to try again.
// Giving up leaves the best file and the played history as they were.
enum class SaveWait {
    Edit,  // the dialog goes on with its edits
    Start, // the default best, without which there is nothing to edit: giving up ends Tivorn
};
bool AskRetryFailedSave(HWND owner, SaveWait wait = SaveWait::Edit);

// The best file would grow larger than it may be: the best cannot be saved
// as it is.
void TellBestTooLarge(HWND owner);

#endif
