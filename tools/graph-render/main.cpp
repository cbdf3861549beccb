// graph-render: reads a graph setup text, paints it into a PNG and answers
// questions about it, so a developer can look at a chart without the terminal.
#include "TnvDiagram.h"
#include "TnvError.h"
#include "TnvGraph.h"
#include "TnvGraphElement.h"
#include "TnvMarker.h"
#include "TnvTraccia.h"

#include <QFile>
#include <QGuiApplication>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

constexpr int kMaxSide = 16384; // pixels a side of the picture may have

const char* kUsage =
    "Usage: graph-render SETUP.txt [OUT.png] [options]\n"
    "\n"
    "Reads a graph setup text, paints it and writes the picture as PNG.\n"
    "\n"
    "Options:\n"
    "  --size WxH      size of the picture, at most 16384x16384 (default: the\n"
    "                  setup's DrawArea, which must then fit that)\n"
    "  --print-setup   print the graph's setup text after loading\n"
    "  --select X,Y    select the diagram and element at pixel X,Y before painting\n"
    "  --coord X,Y     print the world point at pixel X,Y\n"
    "  --help          show this text\n";

struct TOptions {
    QString Setup;
    QString Output;
    std::optional<QSize> Size;
    bool PrintSetup = false;
    std::vector<QPoint> Selects;
    std::vector<QPoint> Coords;
};

QTextStream& Out() {
    static QTextStream out(stdout);
    return out;
}

QTextStream& Err() {
    static QTextStream err(stderr);
    return err;
}

std::optional<QPoint> ParsePoint(const QString& text) {
    const QStringList parts = text.split(',');
    bool okX = false;
    bool okY = false;
    if (parts.size() != 2)
        return std::nullopt;
    const int x = parts[0].trimmed().toInt(&okX);
    const int y = parts[1].trimmed().toInt(&okY);
    if (!okX || !okY)
        return std::nullopt;
    return QPoint(x, y);
}

std::optional<QSize> ParseSize(const QString& text) {
    const QStringList parts = text.toLower().split('x');
    bool okW = false;
    bool okH = false;
    if (parts.size() != 2)
        return std::nullopt;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    if (!okW || !okH || w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide)
        return std::nullopt;
    return QSize(w, h);
}

// Fills options from the arguments; an error text when they make no sense.
QString ParseArguments(const QStringList& args, TOptions& options, bool& help) {
    QStringList files;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--print-setup") {
            options.PrintSetup = true;
        } else if (arg == "--size") {
            if (!hasValue || !(options.Size = ParseSize(args[++i])))
                return "--size needs WIDTHxHEIGHT, for example 640x480";
        } else if (arg == "--select" || arg == "--coord") {
            const std::optional<QPoint> point = hasValue ? ParsePoint(args[++i]) : std::nullopt;
            if (!point)
                return arg + " needs X,Y in pixels, for example 120,80";
            (arg == "--select" ? options.Selects : options.Coords).push_back(*point);
        } else if (arg.startsWith("--")) {
            return "unknown option " + arg;
        } else {
            files << arg;
        }
    }
    if (help)
        return {};
    if (files.isEmpty() || files.size() > 2)
        return "give a setup file and at most one output file";
    options.Setup = files[0];
    if (files.size() == 2)
        options.Output = files[1];
    if (options.Output.isEmpty() && !options.PrintSetup && options.Coords.empty() &&
        options.Selects.empty())
        return "nothing to do: give OUT.png, --print-setup, --select or --coord";
    return {};
}

QString Describe(const TnvGraph& graph) {
    const TnvDiagram* diagram = graph.GetSelDiagram();
    if (!diagram)
        return "nothing selected";
    QString text = QString("diagram %1 \"%2\"").arg(graph.IndexOf(diagram)).arg(diagram->GetName());
    if (const TnvTraccia* trace = diagram->GetSelTraccia())
        text += QString(", trace \"%1\"").arg(trace->GetName());
    else if (const TnvMarker* marker = diagram->GetSelMarker())
        text += QString(", marker \"%1\" (%2 label)")
                    .arg(marker->GetName())
                    .arg(marker->GetSelected() == 1 ? "X" : "Y");
    return text;
}

int Run(const TOptions& options) {
    QFile file(options.Setup);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Err() << "graph-render: cannot read " << options.Setup << ": " << file.errorString()
              << Qt::endl;
        return 1;
    }
    const QString text = QString::fromUtf8(file.readAll());

    TnvGraph graph;
    try {
        graph.SetSetup(text);
    } catch (const TnvError& e) {
        Err() << "graph-render: " << options.Setup << ": " << e.Message() << Qt::endl;
        return 1;
    }
    if (options.PrintSetup)
        Out() << graph.GetSetup() << Qt::endl;

    const TnvRect area = graph.GetDrawArea();
    // In 64 bits: the sides of a hostile area are further apart than an int reaches.
    const int64_t width = std::max<int64_t>(int64_t{area.Right} - area.Left + 1, 1);
    const int64_t height = std::max<int64_t>(int64_t{area.Bottom} - area.Top + 1, 1);
    if (!options.Size && (width > kMaxSide || height > kMaxSide)) {
        Err() << "graph-render: " << options.Setup << ": its DrawArea is " << width << "x" << height
              << " pixels, larger than the " << kMaxSide << "x" << kMaxSide
              << " a picture may have; give --size WxH" << Qt::endl;
        return 1;
    }
    const QSize size = options.Size.value_or(QSize(int(width), int(height)));
    // Setting a width equal to the stored one would leave the bitmap as it
    // is; start from one pixel so the bitmap always takes the size.
    graph.SetWidth(1);
    graph.SetHeight(1);
    graph.SetWidth(size.width());
    graph.SetHeight(size.height());
    graph.Repaint(); // the layout that selection and coordinates use

    for (const QPoint& p : options.Selects) {
        graph.SelectAtPos(p);
        graph.Repaint();
        Out() << "select " << p.x() << "," << p.y() << ": " << Describe(graph) << Qt::endl;
    }
    for (const QPoint& p : options.Coords) {
        Tnv2DPoint world{};
        const int index = graph.CoordAtCurPos(p, world);
        Out() << "coord " << p.x() << "," << p.y() << ": ";
        if (index < 0)
            Out() << "-1 (no plot area here)" << Qt::endl;
        else
            Out() << "diagram " << index << " \"" << graph.GetDiagram(std::int8_t(index))->GetName()
                  << "\" X=" << QString::number(world.X, 'g', 15)
                  << " Y=" << QString::number(world.Y, 'g', 15) << Qt::endl;
    }
    if (!options.Output.isEmpty() && !graph.GetBitmap().save(options.Output, "PNG")) {
        Err() << "graph-render: cannot write " << options.Output << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TOptions options;
    bool help = false;
    const QString error = ParseArguments(app.arguments(), options, help);
    if (help) {
        Out() << kUsage;
        return 0;
    }
    if (!error.isEmpty()) {
        Err() << "graph-render: " << error << "\n\n" << kUsage;
        return 2;
    }
    return Run(options);
}
