#include "store/data_folder.h"

#include <gtest/gtest.h>

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

}  // namespace
