#include <QCoreApplication>
#include <gtest/gtest.h>

// Message windows, posted events and the blocking hand-off to the main thread
// need an application object on the test's main thread.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
