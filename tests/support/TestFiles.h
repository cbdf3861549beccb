#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

// Whole files in one call, for tests that lay out inputs and check outputs.
namespace kxtest {

// The file's bytes, empty when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces whatever path held with bytes; returns path.
inline QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                file.write(bytes) == bytes.size())
        << path.toStdString();
    return path;
}

// While it lives, writes to files end after bytes, as on a full disk (even
// for root, where a read-only folder would not do); programs started
// meanwhile inherit the limit.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes)
        : FHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &FSaved);
        rlimit limited = FSaved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit FSaved{};
    void (*FHandler)(int);
};

} // namespace kxtest
