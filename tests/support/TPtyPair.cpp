#include "TPtyPair.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace kxtest {

TPtyPair::TPtyPair()
    : FProcess("/usr/bin/socat",
               {"pty,raw,echo=0,link=" + LinkEnd(), "pty,raw,echo=0,link=" + PeerEnd()}) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        if (QFileInfo::exists(LinkEnd()) && QFileInfo::exists(PeerEnd())) {
            FReady = true;
            return;
        }
        QThread::msleep(10);
    }
}

} // namespace kxtest
