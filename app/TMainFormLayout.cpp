// The main window's controls: their names, captions, hints and places.

#include "TMainForm.h"

#include "NvGuard.h"
#include "TLampBox.h"
#include "TLinkStatusBar.h"
#include "TLiveField.h"
#include "TReportAction.h"
#include "TSpeedButton.h"
#include "TValueGrid.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char* const kFaultCaptions[TMainForm::kFaultBits] = {
    "Over voltage", "Under voltage",  "Drive over heating", "Motor over heating", "Power failure",
    "Over current", "Power IxT",      "Motor IIxT",         "Invalid parameters", "Offset limit",
    "EEPROM Error", "EEPROM default", "Communication Lost"};

QAction* NewAction(QObject* owner, const char* name, const char* category, const char* caption,
                   const char* hint) {
    auto* action = new QAction(QString::fromLatin1(caption), owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("Category", QString::fromLatin1(category));
    action->setToolTip(hint ? QString::fromLatin1(hint) : QString::fromLatin1(caption));
    action->setStatusTip(action->toolTip());
    return action;
}

QGroupBox* NewGroup(const char* name, const char* caption, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromLatin1(caption), parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setAccessibleName(caption[0] ? group->title() : group->objectName());
    return group;
}

TSpeedButton* NewSpeedButton(const char* name, QAction* action, const QString& caption,
                             const char* hint, QWidget* parent) {
    auto* button = new TSpeedButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setCheckable(true);
    button->setToolTip(hint ? QString::fromLatin1(hint) : action->toolTip());
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setMinimumHeight(30);
    QObject::connect(button, &QToolButton::clicked, action, [action] { action->trigger(); });
    return button;
}

} // namespace

void TMainForm::CreateActions() {
    acOpenConnection = NewAction(this, "acOpenConnection", "ModBus", "Open Connection",
                                 "Create a ModBus connection to Q330");
    acCloseConnection = NewAction(this, "acCloseConnection", "ModBus", "Close Connection",
                                  "Destroy the present connection to Q330");
    acCloseConnection->setVisible(false);
    acClose = NewAction(this, "acClose", "System", "Exit", "Exit from program");
    acAbout = NewAction(this, "acAbout", "System", "About", "Information about this program");
    acMBServer = NewAction(this, "acMBServer", "System", "Register MBServer!",
                           "ModBus ActiveX server registration required!");
    acMBServer->setVisible(false);
    acPlateData = NewAction(this, "acPlateData", "KX720", "Motor plate data", nullptr);
    acVFChart = NewAction(this, "acVFChart", "KX720", "V/F characteristic", nullptr);
    acCtrlMode = NewAction(this, "acCtrlMode", "KX720", "Control mode setup", nullptr);
    acSlaveAddr = NewAction(this, "acSlaveAddr", "ModBus", "Slave", nullptr);
    acAccel = NewAction(this, "acAccel", "KX720", "Accel. / Decel.", nullptr);
    acScope = NewAction(this, "acScope", "KX720", "Scope", nullptr);
    acImport =
        NewAction(this, "acImport", "Files", "From File...", "Import configuration from file");
    acExport = NewAction(this, "acExport", "Files", "To File...", "Export configuration to file");
    acPrint = NewAction(this, "acPrint", "Files", "Print", nullptr);
    acCompare = NewAction(this, "acCompare", "Files", "Compare with file...",
                          "Compare the drive configuration with a file");
    for (QAction* action : {acImport, acExport, acPrint, acCompare})
        action->setEnabled(false);
    ReportAction = new TReportAction(this);
}

void TMainForm::CreatePortMenu() {
    ppmModBusSetup = new QMenu(this);
    ppmModBusSetup->setObjectName(QStringLiteral("ppmModBusSetup"));
    auto* ports = new QActionGroup(ppmModBusSetup);
    ports->setExclusive(true);
    for (int port = 1; port <= 8; ++port) {
        QAction* item = ppmModBusSetup->addAction(QStringLiteral("COM%1").arg(port));
        item->setObjectName(QStringLiteral("mnCOM%1").arg(port));
        item->setData(port); // Tag
        item->setCheckable(true);
        item->setChecked(port == 1);
        ports->addAction(item);
        mnCOM[port - 1] = item;
    }
    ppmModBusSetup->addSeparator();
    mnTCPIP = ppmModBusSetup->addAction(QStringLiteral("TCP/IP"));
    mnTCPIP->setObjectName(QStringLiteral("mnTCPIP"));
    mnTCPIP->setData(1000);
    mnTCPIP->setCheckable(true);
}

void TMainForm::CreateToolBar() {
    tbarMain = addToolBar(QStringLiteral("Tool bar"));
    tbarMain->setObjectName(QStringLiteral("tbarMain"));
    tbarMain->setMovable(false);
    // The window's menu of tool bars could hide the only one, and with it
    // every command, for good: the window offers no such menu.
    setContextMenuPolicy(Qt::NoContextMenu);
    tbarMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbarMain->addSeparator();
    tbarMain->addAction(acClose);
    tbarMain->addSeparator();
    tbSelectPort = new QToolButton(tbarMain);
    tbSelectPort->setObjectName(QStringLiteral("tbSelectPort"));
    tbSelectPort->setText(QStringLiteral("COM1"));
    tbSelectPort->setToolTip(QStringLiteral("Select serial communication port"));
    tbSelectPort->setMenu(ppmModBusSetup);
    tbSelectPort->setPopupMode(QToolButton::InstantPopup);
    tbarMain->addWidget(tbSelectPort);
    tbarMain->addAction(acSlaveAddr);
    tbModBus = new QToolButton(tbarMain);
    tbModBus->setObjectName(QStringLiteral("tbModBus"));
    tbModBus->setDefaultAction(acOpenConnection);
    tbarMain->addWidget(tbModBus);
    tbarMain->addSeparator();
    tbarMain->addAction(acExport);
    tbarMain->addAction(acImport);
    tbarMain->addAction(acPrint);
    tbarMain->addAction(acCompare);
    tbarMain->addAction(ReportAction->Action());
    tbarMain->widgetForAction(ReportAction->Action())
        ->setAccessibleName(ReportAction->Action()->text());
    tbarMain->addSeparator();
    tbarMain->addAction(acAbout);
    tbarMain->addSeparator();
    tbarMain->addAction(acMBServer);
    // The tool bar holds every command of the window: the keyboard must
    // reach them all, the overflow button too.
    for (QAction* action : tbarMain->actions())
        if (auto* button = qobject_cast<QToolButton*>(tbarMain->widgetForAction(action))) {
            button->setMinimumSize(99, 36);
            button->setFocusPolicy(Qt::TabFocus);
        }
    if (auto* more = tbarMain->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setFocusPolicy(Qt::TabFocus);
    tbSelectPort->setMinimumSize(99, 36);
    tbModBus->setMinimumSize(99, 36);
    tbModBus->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbSelectPort->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

QWidget* TMainForm::CreateModeAndFaults() {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    gbModalita = NewGroup("gbModalita", "System Mode", box);
    auto* modes = new QVBoxLayout(gbModalita);
    cbMode_Stop =
        new TLampBox(QStringLiteral("cbMode_Stop"), QStringLiteral("STOP"), Qt::blue, gbModalita);
    cbMode_Run =
        new TLampBox(QStringLiteral("cbMode_Run"), QStringLiteral("RUN"), Qt::green, gbModalita);
    cbMode_Fault =
        new TLampBox(QStringLiteral("cbMode_Fault"), QStringLiteral("FAULT"), Qt::red, gbModalita);
    for (TLampBox* lamp : {cbMode_Stop, cbMode_Run, cbMode_Fault})
        modes->addWidget(lamp);
    modes->addStretch();
    gbCurFault = NewGroup("gbCurFault", "Current fault state ", box);
    gbStatus = NewGroup("gbStatus", "Previous fault state", box);
    auto* current = new QVBoxLayout(gbCurFault);
    auto* previous = new QVBoxLayout(gbStatus);
    for (int bit = 0; bit < kFaultBits; ++bit) {
        const QString caption = QString::fromLatin1(kFaultCaptions[bit]);
        Fault_b[bit] =
            new TLampBox(QStringLiteral("Fault_b%1").arg(bit), caption, Qt::red, gbCurFault);
        PreFault_b[bit] = new TLampBox(QStringLiteral("PreFault_b%1").arg(bit), caption,
                                       QColor(255, 128, 0), gbStatus);
        current->addWidget(Fault_b[bit]);
        previous->addWidget(PreFault_b[bit]);
    }
    layout->addWidget(gbModalita);
    layout->addWidget(gbCurFault);
    layout->addWidget(gbStatus);
    return box;
}

QWidget* TMainForm::CreateWorkState() {
    gbWorkState = NewGroup("gbWorkState", "", nullptr);
    auto* grid = new QGridLayout(gbWorkState);
    stDcBus = new TLiveField(QStringLiteral("stDcBus"), QStringLiteral("DC bus voltage"),
                             QStringLiteral("000V"),
                             QStringLiteral("Actual voltage of the DC-Link"), gbWorkState);
    stPhCurrent =
        new TLiveField(QStringLiteral("stPhCurrent"), QStringLiteral("Phase current"),
                       QStringLiteral("000.0A"), QStringLiteral("Actual current"), gbWorkState);
    stPhVolt = new TLiveField(QStringLiteral("stPhVolt"), QStringLiteral("Motor voltage"),
                              QStringLiteral("000V"), QStringLiteral("Actual voltage to the motor"),
                              gbWorkState);
    stFreq =
        new TLiveField(QStringLiteral("stFreq"), QStringLiteral("Frequency"),
                       QStringLiteral("000.0Hz"), QStringLiteral("Actual frequency"), gbWorkState);
    // Greyed like the other fields while no link is open.
    stPhCurrent->setStyleSheet(
        QStringLiteral("QLineEdit { color: red } QLineEdit:disabled { color: gray }"));
    stFreq->setStyleSheet(
        QStringLiteral("QLineEdit { color: blue } QLineEdit:disabled { color: gray }"));
    QFont larger = stFreq->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.5);
    larger.setBold(true);
    stFreq->setFont(larger);
    int row = 0;
    for (TLiveField* field : {stDcBus, stPhCurrent, stPhVolt, stFreq}) {
        auto* label = new QLabel(field->GetCaption() + QStringLiteral(": "), gbWorkState);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1);
    }
    return gbWorkState;
}

QWidget* TMainForm::CreateInputs() {
    auto* box = new QWidget;
    // The two groups take turns in one place, sized for the larger, so that
    // the panel keeps its layout when the command source changes.
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    gbHWInput = NewGroup("gbHWInput", "Hardware input state", box);
    gbHWInput->setEnabled(false);
    gbSWInput = NewGroup("gbSWInput", "Software input", box);
    auto* hw = new QVBoxLayout(gbHWInput);
    auto* sw = new QVBoxLayout(gbSWInput);
    // The captions of control mode word 0, until the drive's word is read.
    const QString captions[3] = {QStringLiteral("Move forward (H level)"),
                                 QStringLiteral("Move reverse"), QStringLiteral("Reset (H level)")};
    for (int i = 0; i < 3; ++i) {
        cbHW[i] = new TLampBox(QStringLiteral("cbHW_%1").arg(i), captions[i], Qt::green, gbHWInput);
        cbSW[i] = new QCheckBox(captions[i], gbSWInput);
        cbSW[i]->setObjectName(QStringLiteral("cbSW_%1").arg(i));
        hw->addWidget(cbHW[i]);
        sw->addWidget(cbSW[i]);
    }
    btnSave = new QPushButton(QStringLiteral("Save"), gbSWInput);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    sw->addWidget(btnSave, 0, Qt::AlignRight);
    for (QGroupBox* group : {gbHWInput, gbSWInput}) {
        QSizePolicy policy = group->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        group->setSizePolicy(policy);
        layout->addWidget(group, 0, 0);
    }
    return box;
}

QWidget* TMainForm::CreateSetpoint() {
    pOmegaRef = new QWidget;
    pOmegaRef->setObjectName(QStringLiteral("pOmegaRef"));
    pOmegaRef->setAccessibleName(QStringLiteral("Setpoint"));
    auto* layout = new QVBoxLayout(pOmegaRef);
    layout->setContentsMargins(0, 0, 0, 0);
    sgOmegaRef = new TValueGrid(3, 1, pOmegaRef);
    sgOmegaRef->setObjectName(QStringLiteral("sgOmegaRef"));
    sgOmegaRef->setAccessibleName(QStringLiteral("Setpoint"));
    sgOmegaRef->verticalHeader()->setDefaultSectionSize(32);
    sgOmegaRef->setColumnWidth(1, 85);
    sgOmegaRef->SetCellEditable(1, 0, true);
    sgOmegaRef->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgOmegaRef->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgOmegaRef->setFixedSize(85 + 85 + 45 + 4, 32 + 4);
    tbOmegaRef = new QSlider(Qt::Horizontal, pOmegaRef);
    tbOmegaRef->setObjectName(QStringLiteral("tbOmegaRef"));
    tbOmegaRef->setAccessibleName(QStringLiteral("Setpoint slider"));
    tbOmegaRef->setRange(0, 1280);
    tbOmegaRef->setPageStep(10);
    tbOmegaRef->setTickInterval(100);
    tbOmegaRef->setTickPosition(QSlider::TicksBothSides);
    layout->addWidget(sgOmegaRef);
    layout->addWidget(tbOmegaRef);
    // Hidden with an analog setpoint, its place stays: nothing else moves.
    QSizePolicy policy = pOmegaRef->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    pOmegaRef->setSizePolicy(policy);
    return pOmegaRef;
}

QWidget* TMainForm::CreateMenuPanel() {
    pMenu = new QWidget;
    pMenu->setObjectName(QStringLiteral("pMenu"));
    pMenu->setAccessibleName(QStringLiteral("Setup windows"));
    auto* layout = new QVBoxLayout(pMenu);
    sbtnInput = NewSpeedButton("sbtnInput", acCtrlMode, acCtrlMode->text(), nullptr, pMenu);
    sbtnMotorData = NewSpeedButton("sbtnMotorData", acPlateData, QStringLiteral("Motor main setup"),
                                   nullptr, pMenu);
    sbtnVFChart = NewSpeedButton("sbtnVFChart", acVFChart, acVFChart->text(),
                                 "Setup the relation between frequency and voltage", pMenu);
    sbtnAccel = NewSpeedButton("sbtnAccel", acAccel, acAccel->text(),
                               "Setup duration time of the acceleration and deceleration ramps "
                               "from 0 to 100% frequency",
                               pMenu);
    sbtnScope = NewSpeedButton("sbtnScope", acScope, acScope->text(),
                               "Simple main variables waveform viewer", pMenu);
    for (TSpeedButton* button : {sbtnInput, sbtnMotorData, sbtnVFChart, sbtnAccel, sbtnScope})
        layout->addWidget(button);
    cbKeepAlive = new QCheckBox(QStringLiteral("Comm. Keep Alive"), pMenu);
    cbKeepAlive->setObjectName(QStringLiteral("cbKeepAlive"));
    cbKeepAlive->setToolTip(
        QStringLiteral("Activate autorefresh of communication keep alive timer"));
    layout->addWidget(cbKeepAlive);
    layout->addStretch();
    return pMenu;
}

QWidget* TMainForm::CreateLowerPanel() {
    auto* panel = new QWidget;
    auto* layout = new QHBoxLayout(panel);
    layout->addWidget(CreateModeAndFaults());
    auto* right = new QVBoxLayout;
    right->addWidget(CreateWorkState());
    right->addWidget(CreateInputs());
    right->addWidget(CreateSetpoint());
    right->addStretch();
    // The live state takes the width the window gives: no empty band.
    layout->addLayout(right, 1);
    layout->addWidget(CreateMenuPanel());
    return panel;
}

void TMainForm::NameForAccessibility() {
    // Buttons and groups are heard by their current caption, which the
    // toolkit reads itself; the controls without one get a name here, never
    // their object name, which means nothing to the operator.
    tbarMain->setAccessibleName(tbarMain->windowTitle());
    if (auto* more = tbarMain->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More tools"));
    Memo->setAccessibleName(QStringLiteral("Log"));
    gbWorkState->setAccessibleName(QStringLiteral("Drive state"));
    LinkStatus->setAccessibleName(QStringLiteral("Link status"));
}
