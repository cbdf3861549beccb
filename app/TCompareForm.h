#pragma once

#include "NvConfigFile.h"

#include <QDialog>
#include <vector>

class QLabel;
class QTableWidget;

// Shows where the drive's configuration and a configuration file differ:
// one row per differing element with its index, name, the drive's text and
// the file's text. Modeless; GUI thread.
class TCompareForm : public QDialog {
    Q_OBJECT
public:
    explicit TCompareForm(QWidget* parent);

    void ShowDifferences(const QString& fileName,
                         const std::vector<nv::TConfigDifference>& differences);

    QLabel* lbSummary;
    QTableWidget* sgDifferences;
};
