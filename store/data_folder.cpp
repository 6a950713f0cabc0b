#include "store/data_folder.h"

#include <cstring>
#include <vector>

#include "utils/ansi_text.h"

namespace store {

namespace {

bool FormPaths(const std::string &folder, DataFolder *out) {
    if (folder.empty()) return false;
    out->folder = folder;
    return paths::JoinFitting(folder, kAlbumFileName, &out->albumFile) &&
           paths::JoinFitting(folder, kBestFileName, &out->bestFile);
}

FileFound Find(const std::string &folder, const char *name, const FileQuery &query) {
    std::string path;
    // A folder whose files would not fit a path buffer cannot be asked.
    return paths::JoinFitting(folder, name, &path) ? query(path.c_str()) : FileFound::Unknown;
}

// Either data file decides: one that is there makes the folder the user's,
// and an unknown one may be.
FileFound FindDataFile(const std::string &folder, const FileQuery &query) {
    FileFound album = Find(folder, kAlbumFileName, query);
    FileFound best = Find(folder, kBestFileName, query);
    if (album == FileFound::File || best == FileFound::File) return FileFound::File;
    if (album == FileFound::Unknown || best == FileFound::Unknown) return FileFound::Unknown;
    return FileFound::None;
}

// Where a target file waits while the move may still be undone.  As long as
// the data files' own names, so they fit wherever those do.
constexpr char kAlbumAside[] = "KORVEL.in~";
constexpr char kBestAside[] = "KORVEL.da~";
static_assert(sizeof kAlbumAside == sizeof kAlbumFileName && sizeof kBestAside == sizeof kBestFileName,
              "the set-aside files must fit wherever the data files do");

// One file on its way from one path to another.
struct Transfer {
    std::string from, to;
    bool arrived = false;     // the whole file is at `to`
    bool sourceLeft = false;  // and still at `from` too: it was copied
};

// Looks at the files for the move.  A look that cannot be answered (a share
// with a brief error, a device busy for a moment) is asked again before it
// counts: a single one taken for "no file" made a move that had arrived
// look failed, while the original was already gone.
class Looks {
public:
    explicit Looks(DataFileSystem *files) : files_(files) {}

    FileFound Find(const std::string &path) {
        for (int look = 0; look < kLooks; ++look) {
            FileFound found = files_->Find(path);
            if (found != FileFound::Unknown) return found;
        }
        unseen_ = true;
        return FileFound::Unknown;
    }
    bool Move(const std::string &from, const std::string &to) { return files_->Move(from, to); }
    void Remove(const std::string &path) { files_->Remove(path); }
    bool unseen() const { return unseen_; }

private:
    static constexpr int kLooks = 3;
    DataFileSystem *files_;
    bool unseen_ = false;
};

// Moves and then looks.  A success counts only with the file at `to`, and a
// move that left its source is known as a copy.  A failure is believed while
// the source is still there: what may stand at `to` then is no whole file.
// Where `to` cannot be seen, the move's own report is all there is: a move
// reports success only with the whole file there.  A source that cannot be
// seen counts as left, so that only a second look removes it.
void Shift(Transfer *step, Looks *files) {
    bool reported = files->Move(step->from, step->to);
    FileFound source = files->Find(step->from);
    switch (files->Find(step->to)) {
    case FileFound::File: step->arrived = reported || source != FileFound::File; break;
    case FileFound::Unknown: step->arrived = reported; break;
    case FileFound::None: step->arrived = false; break;
    }
    step->sourceLeft = step->arrived && source != FileFound::None;
}

// Removes one of two copies of a file, only while the other is seen there.
// True when it is seen gone.
bool DropOneOfTwo(const std::string &doomed, const std::string &kept, Looks *files) {
    if (files->Find(kept) != FileFound::File) return false;
    files->Remove(doomed);
    return files->Find(doomed) == FileFound::None;
}

// Takes one transfer back.  False when the file stays at `to`, as a second
// copy or as the only one; nothing is removed unless its original is there.
bool TakeBack(const Transfer &step, Looks *files) {
    if (!step.arrived) return true;
    if (step.sourceLeft) return DropOneOfTwo(step.to, step.from, files);
    // A file now standing where this one came from is not ours to replace,
    // and one that cannot be seen may be there.
    if (files->Find(step.from) != FileFound::None) return false;
    Transfer back{step.to, step.from};
    Shift(&back, files);
    return back.arrived && (!back.sourceLeft || DropOneOfTwo(step.to, step.from, files));
}

// One data file: the target's file of that name set aside, then the data
// file carried over.
struct FileMove {
    Transfer aside;  // the target's file to its set-aside name
    Transfer carry;  // the data file into the target folder
};

// False when the step could not be taken, or its files could not be seen:
// the move does not go on blind.
bool Carry(FileMove *step, Looks *files) {
    FileFound source = files->Find(step->carry.from);
    FileFound target = files->Find(step->carry.to);
    if (source == FileFound::Unknown || target == FileFound::Unknown) return false;
    if (target == FileFound::File) {
        // Left over from an earlier move into this folder that was cut short
        // or not undone in full: a file the user agreed to replace then, and
        // (being asked again, as the target holds a file) agrees to now.
        switch (files->Find(step->aside.to)) {
        case FileFound::File:
            files->Remove(step->aside.to);
            if (files->Find(step->aside.to) != FileFound::None) return false;
            break;
        case FileFound::Unknown: return false;
        case FileFound::None: break;
        }
        Shift(&step->aside, files);
        if (!step->aside.arrived) return false;
        // Set aside as a copy: the target's name must still be freed.
        if (step->aside.sourceLeft) {
            if (!DropOneOfTwo(step->aside.from, step->aside.to, files)) return false;
            step->aside.sourceLeft = false;
        }
    }
    if (source == FileFound::File) {
        Shift(&step->carry, files);
        if (!step->carry.arrived) return false;
    }
    return true;
}

// Puts back what the moves did, the last first, and every step of it even
// when one fails.  False when some file could not go back.
DataMove Undo(std::vector<FileMove> *moves, Looks *files) {
    bool whole = true;
    for (auto step = moves->rbegin(); step != moves->rend(); ++step) {
        whole = TakeBack(step->carry, files) && whole;
        whole = TakeBack(step->aside, files) && whole;
    }
    return whole ? DataMove::Undone : DataMove::PartlyUndone;
}

// The move's steps, with what they saw.
DataMove Transfers(const DataFolder &from, const DataFolder &to, Looks *files, const std::function<bool()> &commit) {
    std::string albumAside, bestAside;
    if (!paths::JoinFitting(to.folder, kAlbumAside, &albumAside) ||
        !paths::JoinFitting(to.folder, kBestAside, &bestAside))
        return DataMove::Undone;
    // The album file first: when the best file cannot follow, only the
    // album names have to go back.
    std::vector<FileMove> moves(2);
    moves[0].aside = {to.albumFile, albumAside};
    moves[0].carry = {from.albumFile, to.albumFile};
    moves[1].aside = {to.bestFile, bestAside};
    moves[1].carry = {from.bestFile, to.bestFile};
    for (FileMove &step : moves)
        if (!Carry(&step, files)) return Undo(&moves, files);
    if (!commit()) return Undo(&moves, files);
    // The replaced files and the originals of copies are not needed any
    // more; one that stays behind does no harm, and a set-aside one goes
    // with the next move into this folder.
    for (const FileMove &step : moves) {
        if (step.aside.arrived) files->Remove(step.aside.to);
        if (step.carry.sourceLeft) DropOneOfTwo(step.carry.from, step.carry.to, files);
    }
    return DataMove::Moved;
}

}  // namespace

bool FormDataFolder(const char *text, DataFolder *out) {
    *out = DataFolder();
    if (!text || !text[0] || std::strlen(text) >= kPathBuffer) return false;
    // "D:\" and "D:\MIDI\" as a user might type them.
    if (FormPaths(paths::KeptFolder(text), out)) return true;
    *out = DataFolder();
    return false;
}

DataMove MoveDataFiles(const DataFolder &from, const DataFolder &to, DataFileSystem *files,
                       const std::function<bool()> &commit) {
    Looks looks(files);
    DataMove result = Transfers(from, to, &looks, commit);
    return looks.unseen() ? DataMove::Unseen : result;
}

Resolution ResolveDataFolder(const char *dataPath, const char *modulePath, const FileQuery &query,
                             DataFolder *out, const WritableFallback &fallback) {
    *out = DataFolder();
    if (dataPath && dataPath[0]) {
        // Moving on from a folder that may hold the user's bests would make
        // the default best in their place and clear every played history.
        std::string folder = std::strlen(dataPath) < kPathBuffer ? paths::KeptFolder(dataPath) : dataPath;
        switch (FindDataFile(folder, query)) {
        case FileFound::File:
            if (FormPaths(folder, out)) return Resolution::Resolved;
            break;
        case FileFound::Unknown:
            out->folder = folder;
            return Resolution::Unreachable;
        case FileFound::None:
            break;
        }
    }
    *out = DataFolder();
    if (!modulePath) return Resolution::Unusable;
    const char *separator = ansi::LastSeparator(modulePath);
    if (!separator) return Resolution::Unusable;
    std::string program(modulePath, separator);
    // A program folder that holds the user's files stays theirs, writable or
    // not: moving elsewhere would hide their bests behind a new default one.
    // So does one that cannot be asked.
    bool stay = !fallback.writable || FindDataFile(program, query) != FileFound::None ||
                fallback.writable(program.c_str());
    if (!stay) {
        DataFolder local;
        // The local folder is a folder like any other once it is there; when
        // it cannot be made or written either, the program's folder is no
        // worse, and its first save tells the user.
        if (FormPaths(fallback.localFolder, &local) && fallback.makeFolder &&
            fallback.makeFolder(local.folder.c_str()) && fallback.writable(local.folder.c_str())) {
            *out = local;
            out->rewriteDataPath = true;
            return Resolution::Resolved;
        }
    }
    out->rewriteDataPath = true;
    return FormPaths(program, out) ? Resolution::Resolved : Resolution::Unusable;
}

}  // namespace store
