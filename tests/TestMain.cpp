// The main of every test program. The library logs at debug level from the
// start, so a test program run by hand would bury its results under the log;
// only errors are shown. Tests that read the log set the level they need.
#include <gtest/gtest.h>

#include "Logging.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    Logging::setLogLevel(3);
    return RUN_ALL_TESTS();
}
