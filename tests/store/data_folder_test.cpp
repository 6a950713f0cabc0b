#include "store/data_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>

namespace {

using store::DataFolder;

struct Files {
    std::set<std::string> existing;
    std::set<std::string> unreachable;  // folders whose files cannot be asked for
    store::FileQuery Query() {
        return [this](const char *path) {
            std::string folder(path, static_cast<const char *>(std::strrchr(path, '\\')));
            if (unreachable.count(folder)) return store::FileFound::Unknown;
            return existing.count(path) ? store::FileFound::File : store::FileFound::None;
        };
    }
};

constexpr store::Resolution kResolved = store::Resolution::Resolved;

const char kModule[] = "C:\\Program Files\\Tivorn\\Tivorn.exe";

TEST(DataFolder, DataPathCountsOnlyWhenItHoldsOneOfTheFiles) {
    Files files;
    DataFolder folder;
    files.existing = {"D:\\Data\\KORVEL.ini"};
    ASSERT_EQ(kResolved, store::ResolveDataFolder("D:\\Data", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "D:\\Data");
    EXPECT_EQ(folder.albumFile, "D:\\Data\\KORVEL.ini");
    EXPECT_EQ(folder.bestFile, "D:\\Data\\KORVEL.dat");
    EXPECT_FALSE(folder.rewriteDataPath);

    files.existing = {"D:\\Data\\KORVEL.dat"};
    ASSERT_EQ(kResolved, store::ResolveDataFolder("D:\\Data", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "D:\\Data");

    // Neither file, no value, an empty value: the program's folder, stored anew.
    files.existing = {"C:\\Program Files\\Tivorn\\KORVEL.dat"};
    for (const char *dataPath : {"D:\\Data", static_cast<const char *>(nullptr), ""}) {
        ASSERT_EQ(kResolved, store::ResolveDataFolder(dataPath, kModule, files.Query(), &folder));
        EXPECT_EQ(folder.folder, "C:\\Program Files\\Tivorn");
        EXPECT_EQ(folder.bestFile, "C:\\Program Files\\Tivorn\\KORVEL.dat");
        EXPECT_TRUE(folder.rewriteDataPath);
    }
}

TEST(DataFolder, AFolderThatCannotBeAskedIsNeitherUsedNorReplaced) {
    Files files;
    DataFolder folder;
    files.unreachable = {"S:\\Share", "C:\\Program Files\\Tivorn"};
    EXPECT_EQ(store::Resolution::Unreachable, store::ResolveDataFolder("S:\\Share\\", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "S:\\Share");
    EXPECT_FALSE(folder.rewriteDataPath);
    // A program folder that cannot be asked may hold the user's files: it
    // stays the data folder even when it cannot be written.
    store::WritableFallback fallback{[](const char *) { return false; }, [](const char *) { return true; }, "C:\\L"};
    ASSERT_EQ(kResolved, store::ResolveDataFolder(nullptr, kModule, files.Query(), &folder, fallback));
    EXPECT_EQ(folder.folder, "C:\\Program Files\\Tivorn");
    // One file that answers is enough: the folder is there.
    files.existing = {"S:\\Share\\KORVEL.dat"};
    store::FileQuery onlyBest = [&](const char *path) {
        return files.existing.count(path) ? store::FileFound::File : store::FileFound::Unknown;
    };
    ASSERT_EQ(kResolved, store::ResolveDataFolder("S:\\Share", kModule, onlyBest, &folder));
}

TEST(DataFolder, AProgramFolderThatCannotBeWrittenGivesWayToTheLocalFolder) {
    const std::string local = "C:\\Users\\u\\AppData\\Local\\Tivorn", program = "C:\\Program Files\\Tivorn";
    Files files;
    std::set<std::string> writable = {local}, made;
    store::WritableFallback fallback{[&](const char *f) { return writable.count(f) != 0; },
                                     [&](const char *f) { return made.insert(f), true; }, local};
    DataFolder folder;
    ASSERT_EQ(kResolved, store::ResolveDataFolder("D:\\Gone", kModule, files.Query(), &folder, fallback));
    EXPECT_EQ(folder.bestFile, local + "\\KORVEL.dat");
    EXPECT_TRUE(folder.rewriteDataPath);
    EXPECT_EQ(made, std::set<std::string>{local});
    // The program's folder stays when it holds the user's files, when it can
    // be written, or when the local folder is no better.
    files.existing = {program + "\\KORVEL.ini"};
    for (const auto &writableNow : {std::set<std::string>{local}, {program}, {}}) {
        writable = writableNow;
        ASSERT_EQ(kResolved, store::ResolveDataFolder(nullptr, kModule, files.Query(), &folder, fallback));
        EXPECT_EQ(folder.folder, program);
        files.existing.clear();
    }
}

TEST(DataFolder, SeparatorsAreFoundAsCharactersAndPathsStayBounded) {
    Files files;
    DataFolder folder;
    // A drive root typed with its backslash; the character 0x83 0x5C ends in a
    // byte that looks like a backslash.
    files.existing = {"D:\\KORVEL.ini", "E:\\\x83\x5c\\KORVEL.dat", "E:\\\x83\x5c\\KORVEL.ini"};
    ASSERT_EQ(kResolved, store::ResolveDataFolder("D:\\", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "D:");
    EXPECT_EQ(folder.albumFile, "D:\\KORVEL.ini");
    ASSERT_EQ(kResolved, store::ResolveDataFolder("E:\\\x83\x5c", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "E:\\\x83\x5c");

    ASSERT_EQ(kResolved, store::ResolveDataFolder(nullptr, "E:\\\x83\x5c\\Tivorn.exe", files.Query(), &folder));
    EXPECT_EQ(folder.folder, "E:\\\x83\x5c");
    ASSERT_EQ(kResolved, store::ResolveDataFolder(nullptr, "C:\\Tivorn.exe", files.Query(), &folder));
    EXPECT_EQ(folder.folder, "C:");
    EXPECT_EQ(folder.bestFile, "C:\\KORVEL.dat");

    // A folder whose file paths would not fit 260 bytes is never used, nor
    // replaced: it is the user's, and it is told of.
    std::string deep = "D:\\" + std::string(246, 'x');  // 249 bytes + "\KORVEL.ini" = 260
    std::string tooLong(400, 'y');
    files.existing = {deep + "\\KORVEL.ini"};
    for (const std::string &unusable : {deep, tooLong}) {
        EXPECT_EQ(store::Resolution::Unreachable,
                  store::ResolveDataFolder(unusable.c_str(), kModule, files.Query(), &folder));
        EXPECT_EQ(folder.folder, unusable);
        EXPECT_FALSE(folder.rewriteDataPath);
    }

    EXPECT_EQ(store::Resolution::Unusable, store::ResolveDataFolder(nullptr, "Tivorn.exe", files.Query(), &folder));
    EXPECT_EQ(store::Resolution::Unusable, store::ResolveDataFolder(nullptr, nullptr, files.Query(), &folder));
}

TEST(DataFolder, AChosenFolderIsFormedAsStoredOrRefused) {
    DataFolder folder;
    ASSERT_TRUE(store::FormDataFolder("D:\\", &folder));  // a drive root as the picker gives it
    EXPECT_EQ(folder.albumFile, "D:\\KORVEL.ini");
    ASSERT_TRUE(store::FormDataFolder("E:\\\x83\x5c", &folder));  // ends in a 0x5C trail byte
    EXPECT_EQ(folder.bestFile, "E:\\\x83\x5c\\KORVEL.dat");
    // Paths that would not fit are refused rather than cut.
    std::string longest = "D:\\" + std::string(245, 'x');  // + "\KORVEL.ini" = 259 bytes
    EXPECT_TRUE(store::FormDataFolder(longest.c_str(), &folder));
    EXPECT_FALSE(store::FormDataFolder((longest + "x").c_str(), &folder));
}

// Files by path with their content.  The moves and removals whose turn is in
// `fail` fail (counted from 0, both kinds together); with copies, a move
// copies and leaves its source, as a move to another drive may.  The looks
// whose turn is in `blind` go unanswered, and so, from look `blindFrom` on,
// does every look into drive D:.
class FakeDisk : public store::DataFileSystem {
public:
    std::map<std::string, std::string> files;
    std::set<int> fail, blind;
    bool copies = false, missed = false;
    int operations = 0, looks = 0, blindFrom = -1;
    store::FileFound Find(const std::string &path) override {
        int turn = looks++;
        if (blind.count(turn) || (blindFrom >= 0 && turn >= blindFrom && path[0] == 'D')) {
            missed = true;
            return store::FileFound::Unknown;
        }
        return files.count(path) ? store::FileFound::File : store::FileFound::None;
    }
    bool Move(const std::string &from, const std::string &to) override {
        if (fail.count(operations++) || !files.count(from) || files.count(to)) return false;
        files[to] = files[from];
        return copies || files.erase(from);
    }
    bool Remove(const std::string &path) override { return !fail.count(operations++) && files.erase(path); }
};

TEST(DataFolder, TheDataFilesMoveAllOrNothing) {
    DataFolder from, to;
    store::FormDataFolder("C:\\Old", &from);
    store::FormDataFolder("D:\\New", &to);
    using Files = std::map<std::string, std::string>;
    const Files before = {{"C:\\Old\\KORVEL.ini", "names"}, {"C:\\Old\\KORVEL.dat", "bests"},
                          {"D:\\New\\KORVEL.ini", "theirs"}, {"D:\\New\\KORVEL.dat", "theirs"}};
    const Files moved = {{"D:\\New\\KORVEL.ini", "names"}, {"D:\\New\\KORVEL.dat", "bests"}};

    // Both target files set aside, both moved, the commit, then the set-aside
    // files removed: a failure of any step before the commit, or a refused
    // commit (7), puts every file back, the target's too.  After it the move
    // holds, with a replaced file left aside when it could not be removed.
    for (int failAt = 0; failAt <= 7; ++failAt) {
        FakeDisk disk;
        disk.files = before;
        if (failAt < 7) disk.fail = {failAt};
        bool done = store::MoveDataFiles(from, to, &disk, [&] { return failAt != 7; }) == store::DataMove::Moved;
        EXPECT_EQ(done, failAt >= 4 && failAt != 7) << failAt;
        if (!done) {
            EXPECT_EQ(disk.files, before) << failAt;
        } else if (failAt == 6) {
            EXPECT_EQ(disk.files, moved);
        }
    }

    // A file that does not exist yet moves nothing; after Yes to the question
    // the target's file of that name goes all the same, and so does a file
    // left aside by a move that was cut short.
    FakeDisk disk;
    disk.files = {{"C:\\Old\\KORVEL.dat", "bests"},
                  {"D:\\New\\KORVEL.ini", "theirs"},
                  {"D:\\New\\KORVEL.in~", "left over"}};
    EXPECT_EQ(store::MoveDataFiles(from, to, &disk, [] { return true; }), store::DataMove::Moved);
    EXPECT_EQ(disk.files, (Files{{"D:\\New\\KORVEL.dat", "bests"}}));
}

TEST(DataFolder, NoFailingStepOfTheMoveOrOfItsUndoLosesAFile) {
    DataFolder from, to;
    store::FormDataFolder("C:\\Old", &from);
    store::FormDataFolder("D:\\New", &to);
    const std::map<std::string, std::string> before = {
        {"C:\\Old\\KORVEL.ini", "names"}, {"C:\\Old\\KORVEL.dat", "bests"},
        {"D:\\New\\KORVEL.ini", "their names"}, {"D:\\New\\KORVEL.dat", "their bests"}};
    // The first failure sets the undo going (or fails the clean-up after the
    // commit), the second fails a later step, of the undo too; a step beyond
    // the last fails nothing.  Moves that copy and leave the source as well.
    std::set<store::DataMove> outcomes;
    for (bool copies : {false, true})
        for (bool refuse : {false, true})
            for (int first = 0; first <= 12; ++first)
                for (int second = first; second <= 30; ++second) {
                    SCOPED_TRACE(::testing::Message() << copies << refuse << " " << first << "," << second);
                    FakeDisk disk;
                    disk.files = before;
                    disk.copies = copies;
                    disk.fail = {first, second};
                    store::DataMove result = store::MoveDataFiles(from, to, &disk, [&] { return !refuse; });
                    outcomes.insert(result);
                    if (result == store::DataMove::Undone) {
                        EXPECT_EQ(disk.files, before);
                    } else if (result == store::DataMove::Moved) {
                        EXPECT_FALSE(refuse);
                        EXPECT_EQ(disk.files[to.albumFile] + disk.files[to.bestFile], "namesbests");
                    } else {
                        // Only a failing step of the undo leaves it partial:
                        // what is not back in its place is in the target
                        // folder, and of the old folder only the file whose
                        // step failed is missing.
                        EXPECT_TRUE(first != second || refuse);
                        int away = 0;
                        for (const auto &file : before) {
                            auto now = disk.files.find(file.first);
                            bool inPlace = now != disk.files.end() && now->second == file.second;
                            bool inTarget = std::any_of(disk.files.begin(), disk.files.end(), [&](const auto &other) {
                                return other.first[0] == 'D' && other.second == file.second;
                            });
                            EXPECT_TRUE(inPlace || inTarget) << file.second;
                            if (file.first[0] == 'C') {
                                EXPECT_TRUE(inPlace || now == disk.files.end()) << file.second;
                                away += now == disk.files.end();
                            }
                        }
                        EXPECT_LE(away, first != second && refuse ? 2 : 1);
                    }
                }
    EXPECT_EQ(outcomes.size(), 3u);
}

TEST(DataFolder, ALookThatGoesUnansweredNeverHidesWhereTheBestsAre) {
    DataFolder from, to;
    store::FormDataFolder("C:\\Old", &from);
    store::FormDataFolder("D:\\New", &to);
    const std::map<std::string, std::string> before = {
        {"C:\\Old\\KORVEL.ini", "names"}, {"C:\\Old\\KORVEL.dat", "bests"}, {"D:\\New\\KORVEL.dat", "theirs"}};
    for (bool copies : {false, true})
        for (int turn = 0; turn < 40; ++turn) {
            SCOPED_TRACE(::testing::Message() << copies << " " << turn);
            // One look that fails is asked again: the move ends as if it had not.
            FakeDisk once;
            once.files = before;
            once.copies = copies;
            once.blind = {turn};
            EXPECT_EQ(store::MoveDataFiles(from, to, &once, [] { return true; }), store::DataMove::Moved);
            EXPECT_EQ(once.files[to.albumFile] + once.files[to.bestFile], "namesbests");
            EXPECT_EQ(once.files.count(from.bestFile), 0u);

            // The target out of sight from here on: the folder that becomes the
            // data folder (the new one once commit agreed) holds the bests, and
            // the album names are somewhere.
            FakeDisk gone;
            gone.files = before;
            gone.copies = copies;
            gone.blindFrom = turn;
            bool committed = false;
            store::DataMove result = store::MoveDataFiles(from, to, &gone, [&] { return committed = true; });
            EXPECT_EQ(gone.files[committed ? to.bestFile : from.bestFile], "bests");
            EXPECT_TRUE(
                std::any_of(gone.files.begin(), gone.files.end(), [](const auto &f) { return f.second == "names"; }));
            EXPECT_EQ(result == store::DataMove::Unseen, gone.missed);
        }
}

}  // namespace
