#include "TCompareForm.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

TCompareForm::TCompareForm(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CompareForm"));
    setWindowTitle(QStringLiteral("Compare with file"));
    setAccessibleName(windowTitle());
    lbSummary = new QLabel(this);
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    lbSummary->setWordWrap(true);
    sgDifferences = new QTableWidget(0, 4, this);
    sgDifferences->setObjectName(QStringLiteral("sgDifferences"));
    sgDifferences->setAccessibleName(QStringLiteral("Differences"));
    sgDifferences->setHorizontalHeaderLabels({QStringLiteral("Index"), QStringLiteral("Name"),
                                              QStringLiteral("Drive"), QStringLiteral("File")});
    sgDifferences->verticalHeader()->hide();
    sgDifferences->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgDifferences->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgDifferences->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbSummary);
    layout->addWidget(sgDifferences, 1);
    layout->addWidget(buttons);
    resize(560, 420);
}

void TCompareForm::ShowDifferences(const QString& fileName,
                                   const std::vector<nv::TConfigDifference>& differences) {
    const QString file = QFileInfo(fileName).fileName();
    if (differences.empty())
        lbSummary->setText(QStringLiteral("The drive holds the configuration of %1.").arg(file));
    else if (differences.size() == 1)
        lbSummary->setText(QStringLiteral("1 value of the drive differs from %1.").arg(file));
    else
        lbSummary->setText(QStringLiteral("%1 values of the drive differ from %2.")
                               .arg(differences.size())
                               .arg(file));
    lbSummary->setAccessibleName(lbSummary->text());
    sgDifferences->setRowCount(static_cast<int>(differences.size()));
    int row = 0;
    for (const nv::TConfigDifference& d : differences) {
        const QString index = d.Length > 1 ? QStringLiteral("%1.%2").arg(d.Index).arg(d.Element)
                                           : QString::number(d.Index);
        const QString cells[] = {index, d.Name, d.Drive, d.File};
        for (int column = 0; column < 4; ++column)
            sgDifferences->setItem(row, column, new QTableWidgetItem(cells[column]));
        ++row;
    }
    sgDifferences->resizeColumnsToContents();
    show();
    raise();
}
