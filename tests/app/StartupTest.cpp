// Start-up with a definitions file that cannot be loaded as a whole.

#include "TerminalFixture.h"
#include "TestFiles.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <linux/capability.h>

namespace {

// Takes from this thread root's power to read any file, so that a file of
// mode 000 is as unreadable to the test as it is to a user.
class TWithoutReadOverride {
public:
    TWithoutReadOverride() {
        syscall(SYS_capget, &FHeader, FSaved);
        __user_cap_data_struct reduced[2] = {FSaved[0], FSaved[1]};
        reduced[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &FHeader, reduced);
    }
    ~TWithoutReadOverride() { syscall(SYS_capset, &FHeader, FSaved); }
    TWithoutReadOverride(const TWithoutReadOverride&) = delete;
    TWithoutReadOverride& operator=(const TWithoutReadOverride&) = delete;

private:
    __user_cap_header_struct FHeader{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct FSaved[2]{};
};

struct TBadFile {
    const char* Name;
    const char* Line;          // replaces the line that starts with its key
    bool Unreadable;           // the file's mode is 000
    int FailedCategories;      // "Error loading parameters definitions." lines
    const char* Reason;        // the memo line after the first of them
    std::uint32_t LoadedIndex; // a parameter of a category that did load
};

class BadDefinitionsFile : public TerminalFixture, public ::testing::WithParamInterface<TBadFile> {
protected:
    QString Path() const { return Dir.path() + "/" + TPARModule::kDefinitionsFile; }

    QTemporaryDir Dir;
};

TEST_P(BadDefinitionsFile, FailsItsCategoriesInTheMemoAndStartsWithTheOthers) {
    // The shipped definitions file with the row's change, in Dir.
    QFile shipped(SourceDir() + "/data/" + TPARModule::kDefinitionsFile);
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(shipped.readAll());
    const QString line = GetParam().Line;
    if (!line.isEmpty()) {
        const QString key = line.left(line.indexOf('=') + 1);
        const qsizetype at = text.indexOf("\n" + key);
        ASSERT_GE(at, 0) << key.toStdString();
        text.replace(at + 1, text.indexOf('\n', at + 1) - at - 1, line);
    }
    kxtest::WriteFile(Path(), text.toUtf8());
    if (GetParam().Unreadable)
        QFile::setPermissions(Path(), {});
    {
        TWithoutReadOverride asAUser;
        StartIn(Dir.path());
    }
    const QString reason = QString(GetParam().Reason).arg(Path());
    const QStringList lines = Lines();
    const qsizetype first = lines.indexOf("Error loading parameters definitions.");
    ASSERT_GE(first, 0);
    ASSERT_LT(first + 1, lines.size());
    EXPECT_EQ(lines[first + 1], reason);
    EXPECT_EQ(lines.count(reason), 1);
    EXPECT_EQ(LogCount("Error loading parameters definitions."), GetParam().FailedCategories);
    EXPECT_EQ(LogCount("Error on parameters creation."), GetParam().FailedCategories);
    if (GetParam().LoadedIndex != 0)
        Value(GetParam().LoadedIndex); // a failed expectation when missing
    EXPECT_TRUE(Answerer->Texts.isEmpty()) << "no message box";
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadDefinitionsFile,
    ::testing::Values(TBadFile{"TokenThatIsNoInteger", "Ram=0/19;21/27,29", false, 1,
                               "Ram: '0/19;21' is not a valid integer value", 31},
                      TBadFile{"RangeAboveTheCap", "Scope=1000/70000", false, 1,
                               "Scope: '1000/70000' is not a valid index range", 22},
                      TBadFile{"Unreadable", "", true, 5, "Cannot read \"%1\": Permission denied",
                               0}),
    [](const ::testing::TestParamInfo<TBadFile>& row) { return std::string(row.param.Name); });

// Started from the wrong folder: the failures first, then where the file was
// looked for, once; every handler still runs without values behind it.
TEST_F(TerminalFixture, MissingDefinitionsFileIsNamedOnceAndTheTerminalStaysUsable) {
    Start(false);
    const QStringList lines = Lines();
    const QString named = "Definitions file not found: " + QDir::currentPath() + "/" +
                          TPARModule::kDefinitionsFile +
                          " (the terminal reads it from its working directory)";
    EXPECT_EQ(lines.count(named), 1);
    EXPECT_GT(lines.indexOf(named), lines.lastIndexOf("Error loading parameters definitions."));
    EXPECT_EQ(LogCount("Error loading parameters definitions."), 5);
    EXPECT_EQ(LogCount("Error on parameters creation."), 5);
    MainForm->tbOmegaRef->setValue(500);
    MainForm->cbSW[1]->click();
    MainForm->btnSave->click();
    MainForm->TimerLinkTimer();
    MainForm->acPlateData->trigger();
    MainForm->acPlateData->trigger();
    MainForm->ApplicationEventsIdle();
    EXPECT_TRUE(Answerer->Texts.isEmpty());
}

} // namespace
