// The built-in synthesizer as an output: the messages of a song go to a
// SoundFont synthesizer, whose sound is played through the system's audio.
#ifndef TIVORN_KORVEL_SYNTH_OUTPUT_H
#define TIVORN_KORVEL_SYNTH_OUTPUT_H

#include <windows.h>

#include <memory>
#include <string>

#include "korvel/audio/audio_device.h"
#include "korvel/output/midi_errors.h"
#include "korvel/output/output.h"
#include "korvel/synth/soundfont.h"

namespace korvel {

// The SoundFont of the synth: output, read once and kept while the
// synthesizer is the output chosen, so that the next song and a switch to
// the same file take it as it is.  Its sample data is a view of the file,
// let go whenever the output closes (nothing plays), so that the file can
// be replaced then; the next load maps it again, and reads the records
// again only if the file changed.  A file that could not be used is not
// read again (nor reported again) until it changes.
class SoundFontHolder {
public:
    struct Loaded {
        std::shared_ptr<const synth::SoundFont> font;  // null on a problem
        FontProblem problem = FontProblem::None;
        bool news = false;  // a problem not told before
    };
    Loaded Load(const std::string &path);
    // Another output was chosen.
    void Release();
    // The output closed: the file is let go, the records kept.
    void LetFileGo();

    // What the synthesizer's streams measured; it outlasts each of them.
    AudioFigures figures;

private:
    struct Stamp {
        bool exists = false;
        ULONGLONG size = 0;
        FILETIME written = {};
        bool operator==(const Stamp &other) const;
    };
    static Stamp StampOf(const std::string &path);

    bool MapAgain(const std::string &path);

    std::string path_;
    std::shared_ptr<const synth::SoundFont> font_;
    Stamp fontStamp_;  // the file's when font_ was read
    std::string failedPath_;
    FontProblem failed_ = FontProblem::None;
    Stamp failedStamp_;
};

// The synthesizer with font on the default audio device; NoAudioDevice
// and the like when the device cannot be opened.
OpenResult OpenSynthOutput(std::shared_ptr<const synth::SoundFont> font, AudioFigures &figures);

}  // namespace korvel

#endif
