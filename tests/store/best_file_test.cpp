// The best file's reader and writer on real files in a scratch data folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;
using bestbytes::Bytes;
using bestbytes::Record;

class BestFileTest : public StoreFixture {
protected:
    // Files of the data folder, to see that no temporary file stays behind.
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(data_.Join("*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    // Saves (or with remove deletes) a best of that name and entries.
    bool Save(const char *name, const std::vector<std::string> &entries, bool remove = false) {
        best::BestRecord record = best::BestRecord::ForName(name);
        size_t cursor = record.Terminator();
        for (const std::string &entry : entries)
            if (!record.InsertEntry(&cursor, entry.c_str())) return false;
        return store_.WriteBest(record, remove) == store::BestSave::Saved;
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        store_.ReadBestNames(&names);
        return names;
    }

    bool HistoryIsEmpty(const char *best) {
        std::string value;
        return program_key::ReadRaw(program_key::HistoryKey(), best, &value) && value.empty();
    }
};

TEST_F(BestFileTest, ReaderFindsAndListsByExactName) {
    WriteBests({Record("Jazz", {"C:\\j.mid"}), Record("jazz", {"C:\\k.mid", "C:\\l.mid"}), Record("Rock", {})});
    best::BestRecord found = store_.FindBestInFile("jazz");
    EXPECT_STREQ(found.Name(), "jazz");
    EXPECT_EQ(found.Count(), 2u);
    EXPECT_TRUE(store_.FindBestInFile("JAZZ").IsNone());
    std::string longName(400, 'n');
    EXPECT_TRUE(store_.FindBestInFile(longName.c_str()).IsNone());
    EXPECT_TRUE(store_.FindBestInFile(nullptr).IsNone());

    std::vector<std::string> names;
    ASSERT_TRUE(store_.ReadBestNames(&names));
    EXPECT_EQ(names, (std::vector<std::string>{"Jazz", "jazz", "Rock"}));

    // Missing and empty files hold no best; the names stay what they were.
    for (bool empty : {true, false}) {
        if (empty)
            WriteBestFile({});
        else
            DeleteFileA(store_.bestFile());
        EXPECT_TRUE(store_.FindBestInFile("Jazz").IsNone());
        EXPECT_FALSE(store_.ReadBestNames(&names));
        EXPECT_EQ(names.size(), 3u);
        best::BestChoice choice;
        EXPECT_FALSE(store_.ReadBestChoice(nullptr, true, &choice));
    }
}

TEST_F(BestFileTest, ReaderPassesOverADamagedRecordAsTheWriterDoes) {
    Bytes badCount = Record("Bad", {"C:\\x.mid"}, 2, /*count=*/3);
    WriteBests({Record("Good", {"C:\\g.mid"}), badCount, Record("Behind", {})});
    EXPECT_EQ(Names(), (std::vector<std::string>{"Good", "Behind"}));
    EXPECT_FALSE(store_.FindBestInFile("Behind").IsNone());
    EXPECT_TRUE(store_.FindBestInFile("Bad").IsNone());
    // So a save of the best behind the damage replaces it rather than
    // adding a second best of that name.
    ASSERT_TRUE(Save("Behind", {"C:\\b.mid"}));
    EXPECT_EQ(Stored(), bestbytes::File({Record("Good", {"C:\\g.mid"}), Record("Behind", {"C:\\b.mid"})}));

    // A length that reaches past the end, and a file cut inside a record.
    Bytes file = bestbytes::File({Record("Good", {}), Record("Long", {"C:\\x.mid"}, 2, -1, 5000)});
    WriteBestFile(file);
    EXPECT_TRUE(store_.FindBestInFile("Long").IsNone());
    EXPECT_FALSE(store_.FindBestInFile("Good").IsNone());
    file = bestbytes::File({Record("Good", {}), Record("Cut", {"C:\\x.mid"})});
    file.resize(file.size() - 10);
    WriteBestFile(file);
    EXPECT_EQ(Names(), std::vector<std::string>{"Good"});
}

TEST_F(BestFileTest, WriterAppendsReplacesInPlaceAndDeletes) {
    // No file yet: it is created with the one record.
    ASSERT_TRUE(Save("B", {"C:\\b.mid"}));
    EXPECT_EQ(Stored(), bestbytes::File({Record("B", {"C:\\b.mid"})}));
    EXPECT_TRUE(HistoryIsEmpty("B"));

    WriteBests({Record("A", {"C:\\a.mid"}, 5), Record("B", {"C:\\b.mid"})});
    ASSERT_TRUE(Save("C", {}));
    ASSERT_TRUE(Save("A", {"C:\\x.mid", "C:\\y.mid"}));
    EXPECT_EQ(Stored(), bestbytes::File({Record("A", {"C:\\x.mid", "C:\\y.mid"}), Record("B", {"C:\\b.mid"}),
                                         Record("C", {})}));

    ASSERT_TRUE(Save("B", {}, /*remove=*/true));
    Bytes afterDelete = Stored();
    EXPECT_EQ(afterDelete, bestbytes::File({Record("A", {"C:\\x.mid", "C:\\y.mid"}), Record("C", {})}));
    ASSERT_TRUE(Save("Z", {}, true));
    EXPECT_EQ(Stored(), afterDelete);
    EXPECT_TRUE(HistoryIsEmpty("Z"));

    // The last best deleted: only the end marker is left.
    for (const char *name : {"A", "C"}) ASSERT_TRUE(Save(name, {}, true));
    EXPECT_EQ(Stored(), Bytes(4, 0));
    std::vector<std::string> names{"stale"};
    EXPECT_TRUE(store_.ReadBestNames(&names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(Files(), std::vector<std::string>{"KORVEL.dat"});
}

TEST_F(BestFileTest, WriterSavesOverEmptyReadOnlyAndDamagedFiles) {
    // A file of 0 bytes is a file without bests.
    WriteBestFile({});
    ASSERT_TRUE(Save("New", {"C:\\n.mid"}));
    EXPECT_EQ(Stored(), bestbytes::File({Record("New", {"C:\\n.mid"})}));

    // A read-only file is made writable first.
    SetFileAttributesA(store_.bestFile(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(Save("Other", {}));
    EXPECT_EQ(Stored(), bestbytes::File({Record("New", {"C:\\n.mid"}), Record("Other", {})}));

    // Damaged records cannot be carried over; the old file is kept beside.
    Bytes damaged = bestbytes::File({Record("Good", {}), Record("Bad", {"C:\\x.mid"}, 2, 7), Record("Behind", {})});
    WriteBestFile(damaged);
    ASSERT_TRUE(Save("Good", {"C:\\g.mid"}));
    EXPECT_EQ(Stored(), bestbytes::File({Record("Good", {"C:\\g.mid"}), Record("Behind", {})}));
    EXPECT_EQ(Stored("KORVEL.bak"), damaged);
    // A clean save leaves the copy alone.
    ASSERT_TRUE(Save("Good", {}));
    EXPECT_EQ(Stored("KORVEL.bak"), damaged);
}

TEST_F(BestFileTest, AFileWithoutAReadableBestIsSetAsideWhole) {
    // Damaged throughout: no best to read, but maybe the user's all the same.
    Bytes damaged = bestbytes::File({Record("Lost", {"C:\\x.mid"}, 2, -1, 5000)});
    WriteBestFile(damaged);
    ASSERT_TRUE(Names().empty());
    data_.WriteFile("KORVEL.bak", {'o', 'l', 'd'});
    data_.WriteFile("KORVEL.ini", {'[', ']'});
    store_.DeleteAllBests();
    EXPECT_EQ(Stored("KORVEL.bak"), damaged);
    EXPECT_EQ(Files(), (std::vector<std::string>{"KORVEL.bak", "KORVEL.ini"}));

    // A file that holds nothing has nothing to set aside.
    for (const Bytes &nothing : {Bytes{}, Bytes(4, 0)}) {
        WriteBestFile(nothing);
        store_.DeleteAllBests();
        EXPECT_EQ(Files(), (std::vector<std::string>{"KORVEL.bak", "KORVEL.ini"}));
        EXPECT_EQ(Stored("KORVEL.bak"), damaged);
    }
}

TEST_F(BestFileTest, AHeldFileIsNeverTakenForOneWithoutBests) {
    WriteBests({Record("Kept", {})});
    program_key::WriteBinary(program_key::HistoryKey(), "Kept", "\x01", 1);
    // A sync client writing with every sharing granted does not stop a read;
    // one that shares nothing makes it fail, and the fresh start refuses.
    HANDLE writer = CreateFileA(store_.bestFile(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(store_.ReadBestFileState(), best::BestFileState::Bests);
    CloseHandle(writer);
    HANDLE held = CreateFileA(store_.bestFile(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(store_.DeleteAllBests(), best::BestFileState::Unreadable);
    CloseHandle(held);
    EXPECT_EQ(store_.DeleteAllBests(), best::BestFileState::Bests);
    EXPECT_EQ(Names(), std::vector<std::string>{"Kept"});
    EXPECT_EQ(History("Kept"), "\x01");
}

TEST_F(BestFileTest, TheLongestDataFolderSavesWithItsBackup) {
    // The resolver takes a folder as long as KORVEL.dat in it still fits a
    // 260-byte path buffer: 248 bytes.  The writer's temporary file and the
    // backup of a damaged file must fit there too.
    std::string folder = data_.path() + "\\";
    folder += std::string(248 - folder.size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(store_.UseDataFolder(folder.c_str()));
    ASSERT_EQ(std::string(store_.bestFile()).size(), 259u);

    ASSERT_TRUE(Save("First", {"C:\\f.mid"}));
    Bytes damaged = bestbytes::File({Record("First", {}), Record("Bad", {}, 2, 4)});
    data_.WriteFile(folder.substr(data_.path().size() + 1) + "\\KORVEL.dat",
                    std::vector<uint8_t>(damaged.begin(), damaged.end()));
    ASSERT_TRUE(Save("Second", {}));
    std::string content;
    ASSERT_TRUE(ReadWholeFile(store_.bestFile(), &content));
    EXPECT_EQ(Bytes(content.begin(), content.end()), bestbytes::File({Record("First", {}), Record("Second", {})}));
    ASSERT_TRUE(ReadWholeFile(folder + "\\KORVEL.bak", &content));
    EXPECT_EQ(Bytes(content.begin(), content.end()), damaged);
}

TEST_F(BestFileTest, ASaveWaitsOutAMomentaryHold) {
    WriteBests({Record("Keep", {"C:\\k.mid"})});
    // Another program holds the file and lets go once the writer has met the
    // hold: without sharing, at the writer's read (it takes its lock just
    // before); reading, at its replace (its temporary file is written just
    // before).
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        program_key::WriteBinary(program_key::HistoryKey(), "Keep", "\1", 1);
        HANDLE held = CreateFileA(store_.bestFile(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        std::thread scanner([&] {
            WaitUntil([&] { return Files().size() > (share ? 2u : 1u); });  // its lock, then its own file
            CloseHandle(held);
        });
        bool saved = Save("Keep", {"C:\\new.mid"});
        scanner.join();
        EXPECT_TRUE(saved) << share;
        EXPECT_EQ(Stored(), bestbytes::File({Record("Keep", {"C:\\new.mid"})})) << share;
    }
    EXPECT_EQ(Files(), std::vector<std::string>{"KORVEL.dat"});
}

TEST_F(BestFileTest, AFailedSaveLeavesTheOldFileAndTheHistoryWhole) {
    Bytes old = bestbytes::File({Record("Keep", {"C:\\k.mid"})});
    WriteBestFile(old);
    program_key::WriteBinary(program_key::HistoryKey(), "Keep", "\1", 1);

    // Another program reads the file without letting it be replaced, for
    // longer than the writer waits.
    HANDLE reader = CreateFileA(store_.bestFile(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Save("Keep", {}));
    CloseHandle(reader);
    EXPECT_EQ(Stored(), old);
    EXPECT_EQ(History("Keep"), "\1");
    EXPECT_EQ(Files(), std::vector<std::string>{"KORVEL.dat"});

    // A file locked against reading is not taken for a missing one.
    HANDLE locker = CreateFileA(store_.bestFile(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Save("Keep", {}));
    CloseHandle(locker);
    EXPECT_EQ(Stored(), old);
    EXPECT_EQ(History("Keep"), "\1");

    // Without a data folder there is nowhere to write.
    store_.UseDataFolder(store::DataFolder{"", "", store_.bestFile()});
    EXPECT_FALSE(Save("Keep", {}));
    EXPECT_EQ(Stored(), old);
}

TEST_F(BestFileTest, AnotherWriterOfTheFolderIsNeitherWrittenOverNorInTheWay) {
    Bytes old = bestbytes::File({Record("Keep", {"C:\\k.mid"})});
    WriteBestFile(old);
    // Another copy saving, its lock held for longer than a save waits.
    HANDLE lock = CreateFileA(data_.Join("KORVEL.lck").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    EXPECT_FALSE(Save("Keep", {}));
    EXPECT_EQ(Stored(), old);
    CloseHandle(lock);
    // A copy from before the lock in the middle of its save: its temporary
    // file neither stops this save nor is touched by it.
    HANDLE theirs = CreateFileA(data_.Join("KORVEL.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    WriteFile(theirs, "x", 1, &wrote, nullptr);
    EXPECT_TRUE(Save("Keep", {"C:\\new.mid"}));
    CloseHandle(theirs);
    EXPECT_EQ(Stored(), bestbytes::File({Record("Keep", {"C:\\new.mid"})}));
    EXPECT_EQ(Stored("KORVEL.tmp"), Bytes{'x'});
}

TEST_F(BestFileTest, ABestFileLeftAsATemporaryFileIsTakenBackNotWrittenOver) {
    // A save cut off where a replace takes two steps: KORVEL.dat gone, the
    // new content in temporary files.  The newest complete one comes back.
    Bytes older = bestbytes::File({Record("Old", {})}), newer = bestbytes::File({Record("Old", {}), Record("New", {})});
    Bytes cut(newer.begin(), newer.end() - 3);
    auto leave = [&](const char *name, const Bytes &content, WORD minute) {
        std::string path = data_.WriteFile(name, std::vector<uint8_t>(content.begin(), content.end()));
        SYSTEMTIME when = {2026, 1, 0, 1, 12, minute, 0, 0};
        FILETIME time;
        SystemTimeToFileTime(&when, &time);
        HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    };
    leave("KORVEL.tmp", older, 1);
    leave("KORVEL.~3a", newer, 2);
    leave("KORVEL.~07", cut, 3);
    data_.WriteFile("KORVEL.ini", {});
    program_key::WriteString(program_key::Key(), "DataPath", data_.path());
    ASSERT_EQ(store_.LoadDataFolder(), store::Resolution::Resolved);
    EXPECT_EQ(Stored(), newer);

    // Left while this copy runs, it is where the next save starts, which
    // clears the rest away; beside a KORVEL.dat it is not taken back.
    ASSERT_TRUE(DeleteFileA(store_.bestFile()));
    leave("KORVEL.~3a", newer, 2);
    ASSERT_TRUE(Save("Third", {}));
    EXPECT_EQ(Files(), (std::vector<std::string>{"KORVEL.dat", "KORVEL.ini"}));
    leave("KORVEL.~3a", older, 2);
    ASSERT_EQ(store_.LoadDataFolder(), store::Resolution::Resolved);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Old", "New", "Third"}));
}

TEST_F(BestFileTest, DataFolderIsStoredWhenTheProgramsFolderIsChosen) {
    store_.UseDataFolder(store::DataFolder{});
    data_.WriteFile("KORVEL.dat", {0, 0, 0, 0});
    program_key::WriteString(program_key::Key(), "DataPath", data_.path() + "\\");
    ASSERT_EQ(store_.LoadDataFolder(), store::Resolution::Resolved);
    EXPECT_EQ(std::string(store_.dataFolder()), data_.path());
    EXPECT_EQ(std::string(store_.bestFile()), data_.Join("KORVEL.dat"));
    EXPECT_EQ(std::string(store_.albumFile()), data_.Join("KORVEL.ini"));

    DeleteFileA(data_.Join("KORVEL.dat").c_str());
    ASSERT_EQ(store_.LoadDataFolder(), store::Resolution::Resolved);
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    *strrchr(module, '\\') = '\0';
    EXPECT_STREQ(store_.dataFolder(), module);
    std::string stored;
    ASSERT_TRUE(program_key::ReadRaw(program_key::Key(), "DataPath", &stored));
    EXPECT_EQ(stored, std::string(module) + '\0');
}

// A "DataPath" that is there but cannot be used is the user's all the same:
// neither replaced by the program's folder nor rewritten.  One to expand is
// the folder it names.
TEST_F(BestFileTest, ADataPathThatCannotBeUsedIsReportedAndKept) {
    store_.UseDataFolder(store::DataFolder{});
    data_.WriteFile("KORVEL.dat", {0, 0, 0, 0});
    const char *key = program_key::Key();
    auto write = [key](const void *data, size_t size, DWORD type) {
        WriteValue(key, "DataPath", data, static_cast<DWORD>(size), type, HKEY_CURRENT_USER);
    };
    const DWORD number = 1;
    const std::string tooLong = "C:\\" + std::string(70000, 'x');
    SetEnvironmentVariableA("TIVORN_TEST_DATA", data_.path().c_str());
    const std::string expandsTooFar = "%TIVORN_TEST_DATA%\\" + std::string(250, 'y');
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        if (kind == 0) write(&number, sizeof number, REG_DWORD);
        if (kind == 1) write(tooLong.c_str(), tooLong.size() + 1, REG_SZ);
        if (kind == 2) write(expandsTooFar.c_str(), expandsTooFar.size() + 1, REG_EXPAND_SZ);
        std::string before = program_key::Snapshot(), shown;
        EXPECT_EQ(store_.LoadDataFolder(&shown), store::Resolution::Unreachable);
        EXPECT_NE(shown.find("DataPath"), std::string::npos) << shown;
        EXPECT_EQ(program_key::Snapshot(), before);
        EXPECT_STREQ(store_.dataFolder(), "");
    }
    const char expandable[] = "%TIVORN_TEST_DATA%";
    write(expandable, sizeof expandable, REG_EXPAND_SZ);
    ASSERT_EQ(store_.LoadDataFolder(), store::Resolution::Resolved);
    EXPECT_EQ(std::string(store_.bestFile()), data_.Join("KORVEL.dat"));
    SetEnvironmentVariableA("TIVORN_TEST_DATA", nullptr);
}

}  // namespace
