#include "TPtyPair.h"

#include "TestWait.h"

#include <QFileInfo>

namespace kxtest {

TPtyPair::TPtyPair()
    : FProcess("/usr/bin/socat",
               {"pty,raw,echo=0,link=" + LinkEnd(), "pty,raw,echo=0,link=" + PeerEnd()}) {
    FReady = PollUntil(
        [this] { return QFileInfo::exists(LinkEnd()) && QFileInfo::exists(PeerEnd()); }, 5000);
}

} // namespace kxtest
