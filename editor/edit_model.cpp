#include "editor/edit_model.h"

int KeptCloseFlags(int changeMarks) {
    int flags = 0;
    if (changeMarks & kMarkBestList) flags |= kCloseBestListChanged;
    if (changeMarks & kMarkPlayingBestSaved) flags |= kClosePlayingBestSaved;
    return flags;
}

int OkCloseFlags(int changeMarks, bool randomChanged) {
    int flags = KeptCloseFlags(changeMarks);
    if (changeMarks & kMarkBestToPlay) flags |= kCloseBestToPlayChanged;
    if (randomChanged) flags |= kCloseRandomChanged;
    return flags;
}
