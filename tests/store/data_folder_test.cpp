#include "store/data_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

using store::DataFolder;

struct Files {
    std::set<std::string> existing;
    std::function<bool(const char *)> Query() {
        return [this](const char *path) { return existing.count(path) != 0; };
    }
};

const char kModule[] = "C:\\Program Files\\Tivorn\\Tivorn.exe";

TEST(DataFolder, DataPathCountsOnlyWhenItHoldsOneOfTheFiles) {
    Files files;
    DataFolder folder;
    files.existing = {"D:\\Data\\KORVEL.ini"};
    ASSERT_TRUE(store::ResolveDataFolder("D:\\Data", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "D:\\Data");
    EXPECT_EQ(folder.settingsFile, "D:\\Data\\KORVEL.ini");
    EXPECT_EQ(folder.bestFile, "D:\\Data\\KORVEL.dat");
    EXPECT_FALSE(folder.rewriteDataPath);

    files.existing = {"D:\\Data\\KORVEL.dat"};
    ASSERT_TRUE(store::ResolveDataFolder("D:\\Data", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "D:\\Data");

    // Neither file, no value, an empty value: the program's folder, stored anew.
    files.existing = {"C:\\Program Files\\Tivorn\\KORVEL.dat"};
    for (const char *dataPath : {"D:\\Data", static_cast<const char *>(nullptr), ""}) {
        ASSERT_TRUE(store::ResolveDataFolder(dataPath, kModule, files.Query(), &folder));
        EXPECT_EQ(folder.folder, "C:\\Program Files\\Tivorn");
        EXPECT_EQ(folder.bestFile, "C:\\Program Files\\Tivorn\\KORVEL.dat");
        EXPECT_TRUE(folder.rewriteDataPath);
    }
}

TEST(DataFolder, SeparatorsAreFoundAsCharactersAndPathsStayBounded) {
    Files files;
    DataFolder folder;
    // A drive root typed with its backslash; the character 0x83 0x5C ends in a
    // byte that looks like a backslash.
    files.existing = {"D:\\KORVEL.ini", "E:\\\x83\x5c\\KORVEL.dat", "E:\\\x83\x5c\\KORVEL.ini"};
    ASSERT_TRUE(store::ResolveDataFolder("D:\\", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "D:");
    EXPECT_EQ(folder.settingsFile, "D:\\KORVEL.ini");
    ASSERT_TRUE(store::ResolveDataFolder("E:\\\x83\x5c", kModule, files.Query(), &folder));
    EXPECT_EQ(folder.folder, "E:\\\x83\x5c");

    ASSERT_TRUE(store::ResolveDataFolder(nullptr, "E:\\\x83\x5c\\Tivorn.exe", files.Query(), &folder));
    EXPECT_EQ(folder.folder, "E:\\\x83\x5c");
    ASSERT_TRUE(store::ResolveDataFolder(nullptr, "C:\\Tivorn.exe", files.Query(), &folder));
    EXPECT_EQ(folder.folder, "C:");
    EXPECT_EQ(folder.bestFile, "C:\\KORVEL.dat");

    // A folder whose file paths would not fit 260 bytes is never used.
    std::string deep = "D:\\" + std::string(246, 'x');  // 249 bytes + "\KORVEL.ini" = 260
    files.existing = {deep + "\\KORVEL.ini"};
    ASSERT_TRUE(store::ResolveDataFolder(deep.c_str(), kModule, files.Query(), &folder));
    EXPECT_TRUE(folder.rewriteDataPath);
    std::string tooLong(400, 'y');
    ASSERT_TRUE(store::ResolveDataFolder(tooLong.c_str(), kModule, files.Query(), &folder));
    EXPECT_TRUE(folder.rewriteDataPath);

    EXPECT_FALSE(store::ResolveDataFolder(nullptr, "Tivorn.exe", files.Query(), &folder));
    EXPECT_FALSE(store::ResolveDataFolder(nullptr, nullptr, files.Query(), &folder));
}

TEST(DataFolder, AChosenFolderIsFormedAsStoredOrRefused) {
    DataFolder folder;
    ASSERT_TRUE(store::FormDataFolder("D:\\", &folder));  // the drive root as the picker gives it
    EXPECT_EQ(folder.folder, "D:");
    EXPECT_EQ(folder.settingsFile, "D:\\KORVEL.ini");
    EXPECT_EQ(folder.bestFile, "D:\\KORVEL.dat");
    ASSERT_TRUE(store::FormDataFolder("D:\\Data\\", &folder));
    EXPECT_EQ(folder.bestFile, "D:\\Data\\KORVEL.dat");
    ASSERT_TRUE(store::FormDataFolder("E:\\\x83\x5c", &folder));  // ends in a 0x5C trail byte
    EXPECT_EQ(folder.settingsFile, "E:\\\x83\x5c\\KORVEL.ini");

    // Paths that would not fit are refused rather than cut.
    std::string longest = "D:\\" + std::string(245, 'x');  // 248 bytes + "\KORVEL.ini" = 259
    EXPECT_TRUE(store::FormDataFolder(longest.c_str(), &folder));
    EXPECT_EQ(folder.settingsFile.size(), 259u);
    EXPECT_FALSE(store::FormDataFolder((longest + "x").c_str(), &folder));
    EXPECT_TRUE(folder.folder.empty());
    EXPECT_FALSE(store::FormDataFolder(std::string(600, 'y').c_str(), &folder));
    EXPECT_FALSE(store::FormDataFolder("", &folder));
}

// Files by path with their content; the n-th move or removal fails once.
class FakeDisk : public store::DataFileSystem {
public:
    std::map<std::string, std::string> files;
    int failAt = -1;
    int operations = 0;

    bool IsFile(const std::string &path) override { return files.count(path) != 0; }
    bool Move(const std::string &from, const std::string &to) override {
        if (operations++ == failAt || !files.count(from) || files.count(to)) return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    bool Remove(const std::string &path) override {
        if (operations++ == failAt || !files.count(path)) return false;
        files.erase(path);
        return true;
    }
};

TEST(DataFolder, TheDataFilesMoveAllOrNothing) {
    DataFolder from, to;
    ASSERT_TRUE(store::FormDataFolder("C:\\Old", &from));
    ASSERT_TRUE(store::FormDataFolder("D:\\New", &to));
    const std::map<std::string, std::string> before = {
        {"C:\\Old\\KORVEL.ini", "album names"}, {"C:\\Old\\KORVEL.dat", "bests"},
        {"D:\\New\\KORVEL.ini", "their names"}, {"D:\\New\\KORVEL.dat", "their bests"}};
    const std::map<std::string, std::string> moved = {{"D:\\New\\KORVEL.ini", "album names"},
                                                      {"D:\\New\\KORVEL.dat", "bests"}};

    // Two target files set aside, two moves, then the set-aside files go:
    // whatever fails before the commit puts every file back, the target's too.
    for (int failAt = 0;; ++failAt) {
        FakeDisk disk;
        disk.files = before;
        disk.failAt = failAt;
        int commits = 0;
        bool done = store::MoveDataFiles(from, to, &disk, [&] { return ++commits > 0; });
        if (failAt < 4) {
            EXPECT_FALSE(done) << failAt;
            EXPECT_EQ(commits, 0);
            EXPECT_EQ(disk.files, before) << failAt;
            continue;
        }
        EXPECT_TRUE(done) << failAt;
        EXPECT_EQ(commits, 1);
        // A replaced file that could not be removed stays, beside the moved ones.
        for (const auto &file : moved) EXPECT_EQ(disk.files[file.first], file.second);
        EXPECT_EQ(disk.files.size(), failAt < 6 ? 3u : 2u) << failAt;
        if (failAt == 6) break;
    }

    // "DataPath" not written: nothing moved.
    FakeDisk disk;
    disk.files = before;
    EXPECT_FALSE(store::MoveDataFiles(from, to, &disk, [] { return false; }));
    EXPECT_EQ(disk.files, before);

    // A file that does not exist yet moves nothing; with Yes to the question
    // the target's file of that name goes all the same, and a leftover of an
    // earlier move that was cut short is dropped.
    disk.files = {{"C:\\Old\\KORVEL.dat", "bests"},
                  {"D:\\New\\KORVEL.ini", "their names"},
                  {"D:\\New\\KORVEL.in~", "left over"}};
    EXPECT_TRUE(store::MoveDataFiles(from, to, &disk, [] { return true; }));
    EXPECT_EQ(disk.files, (std::map<std::string, std::string>{{"D:\\New\\KORVEL.dat", "bests"}}));
    disk.files.clear();
    EXPECT_TRUE(store::MoveDataFiles(from, to, &disk, [] { return true; }));
    EXPECT_TRUE(disk.files.empty());
}

}  // namespace
