#include <gtest/gtest.h>

#include "platform/ui/application.h"

int main(int argc, char** argv) {
    ui::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
