// The set-up every test of the program's state shares: the program's key
// (this process's own, see program_key) cleared before and after each test, so that none sees another's values,
// and a scratch data folder.  StoreFixture, for tests that run the store in
// process, also makes a store of its own on that key and folder, with a block
// of zeros.
#ifndef TIVORN_TESTING_STORE_FIXTURE_H
#define TIVORN_TESTING_STORE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/korvel.h"
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/win_test_support.h"

namespace tt {

// This process's key (see program_key) as a store's root; a store made on it
// tells the engine library the same key.
inline RegistryRoot TestRegistryRoot() { return RegistryRoot::Under(program_key::Key()); }

class ProgramKeyFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsKey(program_key::Key());
        program_key::Clear();
    }
    void TearDown() override { program_key::Clear(); }

    // KORVEL.dat of the data folder, byte for byte.
    void WriteBestFile(const bestbytes::Bytes &file) {
        data_.WriteFile("KORVEL.dat", std::vector<uint8_t>(file.begin(), file.end()));
    }
    void WriteBests(const std::vector<bestbytes::Bytes> &records) { WriteBestFile(bestbytes::File(records)); }
    // A file of the data folder as it is now; empty when it cannot be read.
    bestbytes::Bytes Stored(const std::string &name = "KORVEL.dat") {
        std::string content;
        return ReadWholeFile(data_.Join(name), &content) ? bestbytes::Bytes(content.begin(), content.end())
                                                         : bestbytes::Bytes();
    }
    // The played history of a best, as the registry holds it.
    std::string History(const std::string &best) {
        std::string value;
        program_key::ReadRaw(program_key::HistoryKey(), best.c_str(), &value);
        return value;
    }

    ScratchFolder data_;
};

class StoreFixture : public ProgramKeyFixture {
protected:
    void SetUp() override {
        ProgramKeyFixture::SetUp();
        ASSERT_TRUE(store_.UseDataFolder(data_.path().c_str()));
    }

    Store store_{TestRegistryRoot()};
};

}  // namespace tt

#endif
