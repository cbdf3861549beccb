#include <QCoreApplication>
#include <gtest/gtest.h>

// The link's message windows and the blocking hand-off need an application
// object on the test's main thread, which plays the GUI thread.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
