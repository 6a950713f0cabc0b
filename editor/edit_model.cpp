#include "editor/edit_model.h"

bool operator==(const BestSettingsResult &a, const BestSettingsResult &b) {
    return a.randomChanged == b.randomChanged && a.bestToPlayChanged == b.bestToPlayChanged &&
           a.bestListChanged == b.bestListChanged && a.playingBestSaved == b.playingBestSaved;
}

BestSettingsResult KeptResult(EditChanges changes) {
    BestSettingsResult result;
    result.bestListChanged = changes.Has(EditChange::BestList);
    result.playingBestSaved = changes.Has(EditChange::PlayingBestSaved);
    return result;
}

BestSettingsResult OkResult(EditChanges changes, bool randomChanged) {
    BestSettingsResult result = KeptResult(changes);
    result.bestToPlayChanged = changes.Has(EditChange::BestToPlay);
    result.randomChanged = randomChanged;
    return result;
}
