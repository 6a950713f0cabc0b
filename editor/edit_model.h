// The best settings dialog's model (no windows.h): the best being edited,
// whether its list has unsaved changes, and what the user changed during one
// opening, which becomes the close flags the shell applies.
#ifndef TIVORN_EDITOR_EDIT_MODEL_H
#define TIVORN_EDITOR_EDIT_MODEL_H

#include "store/best_record.h"

// What the user changed during one opening of the dialog.
enum ChangeMark {
    kMarkBestToPlay = 1,
    kMarkMidiFolder = 4,
    kMarkBestList = 8,
    kMarkPlayingBestSaved = 16,
};

// What closing the dialog asks of the player and the best menu.
enum CloseFlag {
    kCloseRandomChanged = 1,
    kCloseBestToPlayChanged = 2,
    kCloseBestListChanged = 4,
    kClosePlayingBestSaved = 8,
};

struct EditState {
    best::BestRecord edited;  // the best selected in the combo box
    bool dirty = false;       // its entry list has changes not yet saved
    int changeMarks = 0;
};

// The flags every way out passes on: bests created, saved or deleted stay
// as they are in the best file, whether the dialog ends with OK or not.
int KeptCloseFlags(int changeMarks);

// The flags of OK: the kept ones, the best to play and the random box.
int OkCloseFlags(int changeMarks, bool randomChanged);

#endif
