// Start-up failures: one line on standard output, then status 1.
#include <gtest/gtest.h>

#include "core/fail.h"
#include "test_files.h"

namespace {

TEST(Fail, PrintsItsLineAndEndsWithStatus1)
{
    EXPECT_LINE_AND_STATUS_1(OutOfMemoryExit(), "^\376 Not enough memory!\n$");
    EXPECT_LINE_AND_STATUS_1(FailExit("\376 File not found!\n"), "^\376 File not found!\n$");
    EXPECT_LINE_AND_STATUS_1(FailExitf("ZDS_Error: %s %d", "code", 7), "^ZDS_Error: code 7\n$");
}

}   // namespace
