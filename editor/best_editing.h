// The editor's side of the best file's reader and writer.
//
// The best file's reader fills the best settings dialog's combo box and then
// lets the editor load the selected best; the writer asks the editor to
// collect the folder tree's marks into the edited best first.  Until the
// folder tree exists these load the record alone and report no change.
#ifndef TIVORN_EDITOR_BEST_EDITING_H
#define TIVORN_EDITOR_BEST_EDITING_H

#include <windows.h>

// The selection-change handling of the best combo box, invoked without a
// dialog window (no save question): the best selected in combo becomes the
// edited best record, or a new empty record when the file has no best of
// that name.  The dirty flag is cleared.
void LoadSelectedBest(HWND combo);

// Collects the check marks of the folder tree into the edited best record.
// Answers whether its entry list changed.
bool CollectTreeMarks();

#endif
