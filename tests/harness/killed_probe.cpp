// A test program that runs until it is killed; it makes the file named by
// TIVORN_PROBE_READY once it runs (tests/harness/killed_test_fails.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

TEST(KilledProbe, RunsUntilKilled) {
    HANDLE ready = CreateFileA(std::getenv("TIVORN_PROBE_READY"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(ready, INVALID_HANDLE_VALUE);
    CloseHandle(ready);
    WaitForSingleObject(GetCurrentProcess(), 120000);  // its own end: a kill, or the bound
}
