#include <QCoreApplication>
#include <gtest/gtest.h>

// The message window needs an application object to deliver posted events.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
