// The best settings dialog's model (no windows.h): the best being edited,
// whether its list has unsaved changes, and what the user changed during one
// opening, which becomes the result the application applies.
#ifndef TIVORN_EDITOR_EDIT_MODEL_H
#define TIVORN_EDITOR_EDIT_MODEL_H

#include "store/best_record.h"

// What the user changed during one opening of the dialog.
enum class EditChange : unsigned {
    BestToPlay = 1,
    MidiFolder = 4,
    BestList = 8,
    PlayingBestSaved = 16,
};

// The changes of one opening so far.
class EditChanges {
public:
    void Add(EditChange change) { bits_ |= static_cast<unsigned>(change); }
    bool Has(EditChange change) const { return (bits_ & static_cast<unsigned>(change)) != 0; }

private:
    unsigned bits_ = 0;
};

// What closing the dialog asks of the player and the best menu.
struct BestSettingsResult {
    bool randomChanged = false;      // OK only: the random box was flipped
    bool bestToPlayChanged = false;  // OK only: the best to play was changed
    bool bestListChanged = false;    // bests were created or deleted
    bool playingBestSaved = false;   // the best being played was saved
};

bool operator==(const BestSettingsResult &a, const BestSettingsResult &b);

struct EditState {
    best::BestRecord edited;  // the best selected in the combo box
    bool dirty = false;       // its entry list has changes not yet saved
    EditChanges changes;
};

// What every way out passes on: bests created, saved or deleted stay as
// they are in the best file, whether the dialog ends with OK or not.
BestSettingsResult KeptResult(EditChanges changes);

// What OK passes on: the kept changes, the best to play and the random box.
BestSettingsResult OkResult(EditChanges changes, bool randomChanged);

#endif
