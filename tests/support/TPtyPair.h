#pragma once

#include "TSubprocess.h"

#include <QTemporaryDir>

namespace kxtest {

// Two linked ptys made by socat: the link's end and the peer's end.
class TPtyPair {
public:
    TPtyPair();
    bool Ready() const { return FReady; }
    QString LinkEnd() const { return FDir.path() + "/link"; }
    QString PeerEnd() const { return FDir.path() + "/peer"; }

private:
    QTemporaryDir FDir;
    TSubprocess FProcess;
    bool FReady = false;
};

} // namespace kxtest
