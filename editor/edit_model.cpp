#include "editor/edit_model.h"

bool operator==(const BestSettingsResult &a, const BestSettingsResult &b) {
    return a.randomChanged == b.randomChanged && a.bestToPlayChanged == b.bestToPlayChanged &&
           a.bestListChanged == b.bestListChanged && a.playingBestSaved == b.playingBestSaved;
}

BestSettingsResult KeptResult(int changeMarks) {
    BestSettingsResult result;
    result.bestListChanged = (changeMarks & kMarkBestList) != 0;
    result.playingBestSaved = (changeMarks & kMarkPlayingBestSaved) != 0;
    return result;
}

BestSettingsResult OkResult(int changeMarks, bool randomChanged) {
    BestSettingsResult result = KeptResult(changeMarks);
    result.bestToPlayChanged = (changeMarks & kMarkBestToPlay) != 0;
    result.randomChanged = randomChanged;
    return result;
}
