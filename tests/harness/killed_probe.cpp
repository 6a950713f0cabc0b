// Stands in for a test program that is killed while it runs: it makes the
// file TIVORN_PROBE_READY names once it runs, then waits for an end that
// only a kill brings (or, should the kill miss it, the bound).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

TEST(KilledProbe, WaitsUntilKilled) {
    const char *ready = std::getenv("TIVORN_PROBE_READY");
    ASSERT_NE(ready, nullptr);
    HANDLE file = CreateFileA(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, 120000);
    CloseHandle(never);
}
