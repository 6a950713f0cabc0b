// The About view's animation as steps of a cycle (no windows.h): which of
// the eleven pictures shows at each step, and the step after a step.
#ifndef TIVORN_SHELL_ABOUT_FRAMES_H
#define TIVORN_SHELL_ABOUT_FRAMES_H

#include <cstdint>

// Pictures 0 to 10 (bitmaps IDB_ABOUT_FIRST on).
constexpr int kAboutFrameCount = 11;
// Steps 0 to 23: the figure bobs twice, sweeps up to its full kick and back.
constexpr int kAboutCycleLength = 24;

// The step after step: one on, and 0 after the last.  A step outside the
// cycle starts it again at 0.
int NextAboutStep(int step);

// The picture shown at step; a step outside the cycle shows picture 0.
int AboutFrameAt(int step);

// With high contrast on, the picture is drawn in two of the scheme's colours
// so that none of its own colours can vanish into the scheme's background:
// its dark pixels (outline and body) in ink, the light ones and its ground
// in paper.  Colours are 0x00RRGGBB, as a 32-bit bitmap holds them.
uint32_t HighContrastPixel(uint32_t pixel, uint32_t ground, uint32_t ink, uint32_t paper);

#endif
