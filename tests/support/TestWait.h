#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace kxtest {

// Sanitized builds run several times slower; time bounds grow with them.
#if defined(KX_ASAN) || defined(KX_TSAN)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// Checks done every stepMs until it holds; false once ms have passed first.
inline bool PollUntil(const std::function<bool()>& done, int ms, int stepMs = 10) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(static_cast<unsigned long>(stepMs));
    }
    return true;
}

// Serves the calling thread's events until done() holds; false once ms have
// passed first.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 3000) {
    return PollUntil(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            return done();
        },
        ms, 2);
}

} // namespace kxtest
