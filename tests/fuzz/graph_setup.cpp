// The graph's setup text, which the scope stores and reads back: a text the
// graph took must give the same setup when read a second time.
#include "FuzzInput.h"
#include "TnvError.h"
#include "TnvGraph.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TnvGraph graph;
    try {
        graph.SetSetup(kxfuzz::Text(data, size));
    } catch (const TnvConvertError&) {
        return 0;
    }
    const QString stored = graph.GetSetup();
    TnvGraph again;
    again.SetSetup(stored); // what the graph wrote must read back
    kxfuzz::Require(again.GetSetup() == stored, "a stored setup reads back the same");
    return 0;
}
