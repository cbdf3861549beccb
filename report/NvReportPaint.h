#pragma once

#include <QString>
#include <QStringList>

class QPagedPaintDevice;

namespace nv {

// Lays the lines of a plain-text report out on the device's pages in a
// monospaced font: tabs to the next multiple of eight columns, a line wider
// than the page wrapped with an indent, a new page when one is full. False
// when painting cannot start on the device (a printer or file that cannot be
// opened). GUI thread, with a QGuiApplication.
bool PaintReport(QPagedPaintDevice& device, const QStringList& lines);

} // namespace nv
