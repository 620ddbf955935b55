#include "tests/ndi/standin_scope.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ScopeStandInSourcesToThisProcess();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
