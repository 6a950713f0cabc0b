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

uint32_t HighContrastPixel(uint32_t pixel, uint32_t ground, uint32_t ink, uint32_t paper) {
    pixel &= 0xFFFFFF;
    if (pixel == (ground & 0xFFFFFF)) return paper;
    // Perceived lightness (ITU-R BT.601 weights), 0 to 255.
    uint32_t r = pixel >> 16, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    uint32_t lightness = (299 * r + 587 * g + 114 * b) / 1000;
    return lightness < 128 ? ink : paper;
}
