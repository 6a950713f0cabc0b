// Where the album file and the best file live (no windows.h).
//
// The data folder is "DataPath" when that folder holds KORVEL.ini or
// KORVEL.dat, otherwise the folder of the program file (or, when that cannot
// be written, the user's local application data folder), which then
// becomes "DataPath".  A "DataPath" that cannot be reached is not one
// without files: nothing is decided until it can be.  The file queries come
// in as a parameter so that the decision can be tested without a file
// system.
#ifndef TIVORN_STORE_DATA_FOLDER_H
#define TIVORN_STORE_DATA_FOLDER_H

#include <cstddef>
#include <functional>
#include <string>

#include "utils/path_rules.h"

namespace store {

using paths::kPathBuffer;

constexpr char kAlbumFileName[] = "KORVEL.ini";
constexpr char kBestFileName[] = "KORVEL.dat";
// What went wrong where no box could say it (the session ending).
constexpr char kFailureLogName[] = "KORVEL.log";

struct DataFolder {
    std::string folder;        // without a trailing separator; a drive root is "D:"
    std::string albumFile;  // folder\KORVEL.ini
    std::string bestFile;      // folder\KORVEL.dat
    bool rewriteDataPath = false;  // the program's folder was chosen: store it as "DataPath"
};

// The folder the user chose for the data files, as the data folder keeps
// it: without a trailing separator, so that "D:\" is the drive root "D:".
// False when the text is empty or a file path would not fit kPathBuffer:
// such a folder is refused, never cut.
bool FormDataFolder(const char *text, DataFolder *out);

// What the file system answered for a data file's path.
enum class FileFound {
    File,     // an existing file
    None,     // its folder is there and holds no such file
    Unknown,  // its folder could not be reached or read (a drive or share
              // not there yet, a device not ready, no access): the file may
              // well be there
};

// The file system as the move of the data files sees it.  The move does not
// take its reports on trust: it looks at both paths after every step.
class DataFileSystem {
public:
    // Whether path is an existing file (not a folder), or cannot be told.
    virtual FileFound Find(const std::string &path) = 0;
    // Moves a file to a path where no file is.  True once the whole file is
    // at `to`; a move to another drive may then have left the source behind
    // as well.  False when it did not arrive, with whatever this call made
    // at `to` gone again.  It never replaces or removes a file it did not
    // make itself.
    virtual bool Move(const std::string &from, const std::string &to) = 0;
    // Deletes a file, a read-only one too.
    virtual bool Remove(const std::string &path) = 0;

protected:
    ~DataFileSystem() = default;
};

// How a move of the data files ended.
enum class DataMove {
    Moved,         // both files are in the new folder and commit agreed
    Undone,        // it failed, and every file is back where it was
    // It failed and not every step could be undone.  Every file still
    // exists, but some are left in the target folder: under their own names,
    // or set aside there as KORVEL.in~ and KORVEL.da~.
    PartlyUndone,
    // A look at a file went unanswered even when asked again.  Where a look
    // could not tell, the move went by what the moves themselves reported,
    // and nothing was removed that was not seen twice: moved if commit ran
    // and agreed, undone as far as could be seen otherwise.  Whichever
    // folder is the data folder then should hold the files, unconfirmed, and
    // the other may hold some too.
    Unseen,
};

// Moves KORVEL.ini and KORVEL.dat from one data folder to another, all or
// nothing: a file of the same name in the target is replaced, a file that
// does not exist in `from` leaves none in `to`.  commit runs once both files
// are in place (it makes the new folder the data folder) and may refuse.
// Replaced target files are set aside until then, never deleted first; on
// failure every file goes back where it was, target files included, so that
// the old data folder stays whole.  A step of that undo that fails leaves the
// file where it is, so that a file may then exist twice, but never not at all.
DataMove MoveDataFiles(const DataFolder &from, const DataFolder &to, DataFileSystem *files,
                       const std::function<bool()> &commit);

// The way out of a program folder that cannot be written (a copy placed by
// hand under Program Files, say): the user's own folder for local data.
// Without writable, every folder counts as writable.
struct WritableFallback {
    // Whether a file can be created in the folder.
    std::function<bool(const char *)> writable;
    // Makes the folder if it is not there; true when it is there.
    std::function<bool(const char *)> makeFolder;
    std::string localFolder;  // %LOCALAPPDATA%\Tivorn; empty when it cannot be had
};

using FileQuery = std::function<FileFound(const char *path)>;

enum class Resolution {
    Resolved,
    // "DataPath" names a folder that could not be asked for its files, or
    // that cannot hold them: out->folder is that folder, and nothing may be
    // rewritten, deleted or made until it answers.
    Unreachable,
    Unusable,  // not even the program's folder gives usable paths
};

// dataPath: the stored "DataPath" (null when there is none).
// modulePath: the program file's full path.
// When the program's folder would be chosen but cannot be written and holds
// neither data file, fallback.localFolder is chosen instead (made when
// needed), provided it can be written; either becomes "DataPath".
Resolution ResolveDataFolder(const char *dataPath, const char *modulePath, const FileQuery &query,
                             DataFolder *out, const WritableFallback &fallback = WritableFallback());

}  // namespace store

#endif
