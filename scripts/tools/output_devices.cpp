// Prints how many MIDI out and wave out devices the system lists, one line
// each ("midi N", "wave N"): make run asks it whether a MIDI device can
// sound, or else whether the built-in synthesizer can be heard.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>

int main() {
    std::printf("midi %u\nwave %u\n", midiOutGetNumDevs(), waveOutGetNumDevs());
    return 0;
}
