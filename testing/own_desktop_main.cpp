// main() of the test programs that run on a desktop of their own
// (tivorn_test OWN_DESKTOP): the first copy starts the program again there
// and passes on its exit code; that copy runs the tests.
#include <gtest/gtest.h>

#include "testing/win_test_support.h"

int main(int argc, char **argv) {
    if (!tt::OnOwnDesktop()) return tt::RunOnOwnDesktop();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
