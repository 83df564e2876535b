#include <gtest/gtest.h>

#include "support/fixtures.h"

int main(int argc, char** argv) {
    isolateUserData();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
