#include "shell/about_frames.h"

namespace {

// Two bobs (0, 1, 0, 1), then the sweep up to the kick (10) with a double
// beat at its top, and back down to just before the standing picture.
constexpr int kSequence[kAboutCycleLength] = {0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                              10, 9, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

bool InCycle(int step) { return step >= 0 && step < kAboutCycleLength; }

}  // namespace

int NextAboutStep(int step) {
    if (!InCycle(step) || step == kAboutCycleLength - 1) return 0;
    return step + 1;
}

int AboutFrameAt(int step) { return InCycle(step) ? kSequence[step] : 0; }
