#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>

class QAbstractButton;
class QAction;
class QActionGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTimer;
class QToolBar;
class QToolButton;
class TLampBox;
class TLinkStatusBar;
class TLiveField;
class TProgForm;
class TReportAction;
class TSpeedButton;
class TUpDown;
class TValueGrid;

// The operator's console: opens and closes the link, chooses the port, shows
// the drive's live state, sets the frequency setpoint and the software
// inputs, keeps the link alive, opens the parameter dialogs and the scope,
// starts the configuration jobs, and keeps the log memo in which the whole
// program reports. Its controls are filled by the parameter reactions.
// GUI thread only.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kFaultBits = 13;
    // Lines the log memo keeps (standard error keeps the whole session): a
    // link that fails every cycle until the operator acts would otherwise
    // grow it by ten lines a second.
    static constexpr int kMemoLines = 10000;
    static constexpr int kKeepAliveMs = 2500;
    static constexpr std::uint16_t kKeepAliveWord = 10000;

    TMainForm();
    ~TMainForm() override;

    // Appends a line to the log memo and to standard error.
    void Log(const QString& line);
    // The memo's lines, oldest first.
    QStringList LogLines() const;

    // Setpoint track bar, without writing the setpoint back.
    void SetTrackBarRange(int min, int max);
    void SetTrackBarPosition(int position);
    // Puts action on the connection button (open or close connection).
    void SetConnectionAction(QAction* action);
    // Runs the keep-alive timer exactly while its box is shown and checked.
    void UpdateKeepAliveTimer();
    // Shows the setpoint panel when the setpoint comes from Modbus, and the
    // software inputs with the keep-alive box, or else the hardware inputs,
    // as the commands come; the lower panel keeps its size either way.
    void ShowCommandSources(bool modbusSetpoint, bool softwareCommands);
    // The state of a window without a link, as at start-up until the control
    // mode word is read: keep-alive unticked and stopped, hardware inputs
    // shown, software inputs and setpoint hidden.
    void ShowUnlinked();
    // The link is up to target: the status bar says so and the live state
    // is no longer greyed.
    void ShowLinked(const QString& target);
    // Caption and accessible name of a box together.
    static void SetCaption(QAbstractButton* box, const QString& caption);

    // Called once the window has closed (the program ends then).
    std::function<void()> OnClosed;

    // Handlers, named after their control and event.
    void FormCreate();
    void acOpenConnectionExecute();
    void acCloseConnectionExecute();
    void SelPortClick(QAction* item);
    void mnTCPIPClick();
    void acCloseExecute();
    void acAboutExecute();
    void acMBServerExecute();
    void acPlateDataExecute();
    void acVFChartExecute();
    void acCtrlModeExecute();
    void acAccelExecute();
    void acScopeExecute();
    void acSlaveAddrExecute();
    void ApplicationEventsIdle();
    void udChangingEx(TUpDown* sender, bool& allowChange, int newValue, int direction);
    void sbtnSaveRefClick();
    void tbOmegaRefChange(int position);
    void cbSWClick(QCheckBox* box);
    void btnSaveClick();
    void acImportExecute();
    void acExportExecute();
    void acPrintExecute();
    void acCompareExecute();
    void acImportUpdate();
    void cbKeepAliveClick();
    void TimerLinkTimer();
    void ProgFormFail(TProgForm* sender, const QString& message);
    void ProgFormDone(TProgForm* sender, int mode);

    // Actions.
    QAction* acOpenConnection;
    QAction* acCloseConnection;
    QAction* acClose;
    QAction* acAbout;
    QAction* acMBServer;
    QAction* acPlateData;
    QAction* acVFChart;
    QAction* acCtrlMode;
    QAction* acSlaveAddr;
    QAction* acAccel;
    QAction* acScope;
    QAction* acImport;
    QAction* acExport;
    QAction* acPrint;
    QAction* acCompare;
    // "Report...": the commissioning report of the connected drive.
    TReportAction* ReportAction;

    // Tool bar and port menu.
    QToolBar* tbarMain;
    QToolButton* tbSelectPort;
    QToolButton* tbModBus;
    QMenu* ppmModBusSetup;
    std::array<QAction*, 8> mnCOM;
    QAction* mnTCPIP;

    QPlainTextEdit* Memo;
    TLinkStatusBar* LinkStatus;

    // Live state.
    QGroupBox* gbModalita;
    TLampBox* cbMode_Stop;
    TLampBox* cbMode_Run;
    TLampBox* cbMode_Fault;
    QGroupBox* gbCurFault;
    QGroupBox* gbStatus;
    std::array<TLampBox*, kFaultBits> Fault_b;
    std::array<TLampBox*, kFaultBits> PreFault_b;
    QGroupBox* gbWorkState;
    TLiveField* stDcBus;
    TLiveField* stPhCurrent;
    TLiveField* stPhVolt;
    TLiveField* stFreq;
    QGroupBox* gbHWInput;
    std::array<TLampBox*, 3> cbHW;
    QGroupBox* gbSWInput;
    std::array<QCheckBox*, 3> cbSW;
    QPushButton* btnSave;

    // Setpoint.
    QWidget* pOmegaRef;
    TValueGrid* sgOmegaRef;
    QSlider* tbOmegaRef;

    // Dialog buttons and keep-alive.
    QWidget* pMenu;
    TSpeedButton* sbtnInput;
    TSpeedButton* sbtnMotorData;
    TSpeedButton* sbtnVFChart;
    TSpeedButton* sbtnAccel;
    TSpeedButton* sbtnScope;
    QCheckBox* cbKeepAlive;
    QTimer* TimerLink;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Building the window (TMainFormLayout.cpp).
    void CreateActions();
    void CreateToolBar();
    void CreatePortMenu();
    void CreateLinkStatus();
    void SetLiveStateEnabled(bool enabled);
    QWidget* CreateLowerPanel();
    QWidget* CreateModeAndFaults();
    QWidget* CreateWorkState();
    QWidget* CreateInputs();
    QWidget* CreateSetpoint();
    QWidget* CreateMenuPanel();
    void ConnectHandlers();
    void NameForAccessibility();

    void ToggleWindow(QWidget* window);
    void SetCyclic(std::initializer_list<std::uint32_t> indices);
    void SaveToStoredCopy(std::uint32_t index);
    void StartConfigurationJob(int mode, const QString& line);
    // The reads the open windows need after a configuration job.
    void RestoreCyclicReads();
    void ConnectIdleHandler();

    bool FTrackBarMuted = false;
};
