// The TCP/IP dialog's key filters and its texts between showings.

#include "TTCPForm.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

TEST(TCPForm, StartsWithLoopbackAndTheModbusPort) {
    TTCPForm form(nullptr);
    EXPECT_EQ(form.windowTitle(), "TCP/IP setup");
    EXPECT_EQ(form.eAddress->text(), "127.0.0.1");
    EXPECT_EQ(form.ePort->text(), "502");
}

TEST(TCPForm, KeyFiltersPassOnlyTheirCharacters) {
    TTCPForm form(nullptr);
    form.eAddress->clear();
    QTest::keyClicks(form.eAddress, "1a9.x2/ ");
    EXPECT_EQ(form.eAddress->text(), "19.2");
    form.ePort->clear();
    QTest::keyClicks(form.ePort, "5.0b2");
    EXPECT_EQ(form.ePort->text(), "502");
    QTest::keyClick(form.ePort, Qt::Key_Backspace);
    EXPECT_EQ(form.ePort->text(), "50");
    // No range check: six digits pass.
    QTest::keyClicks(form.ePort, "1234");
    EXPECT_EQ(form.ePort->text(), "501234");
}
