#include <QCoreApplication>
#include <gtest/gtest.h>

// The value set's message window needs an application object to deliver
// posted messages.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
