#include <gtest/gtest.h>

#include <QGuiApplication>

// Fonts and PDF documents need the application object (offscreen under ctest).
int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
