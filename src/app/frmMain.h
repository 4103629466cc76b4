#pragma once

#include "ConversionFlags.h"
#include "ConvertControls.h"
#include "GetWMABitRateFromQuality.h"
#include "HttpClient.h"
#include "JobList.h"
#include "OutputSettingsModel.h"
#include "PanelSlide.h"
#include "PreviewControl.h"
#include "SelectAllBox.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tunevale
{

class AboutPanel;
class BackgroundDiscLookups;
class BackgroundProbe;
class BatchStatus;
struct RunSummary;
class ConversionController;
class DurationProbe;
class Engine;
class ErrorLog;
class EventLoopTurns;
class FileDialogs;
class FormatOptionsPanel;
class DiscTracks;
class JobAdder;
class JobGrid;
class JobSelection;
class JobTableModel;
class LookedUpDiscsEngine;
class MessageBox;
class PowerOff;
class PreviewPlayer;
class RunOutcomeLabel;
class SettingsBinder;
class Shell;
class ThemedButton;
class ThemedPanel;
class WmaInstallPrompt;
class WmaSupportInstaller;

// The main window: the job list with its commands, the preview player, the output folder and
// format, the convert buttons, and the format and about panels that slide up over it. It owns the
// shared state of the program and wires the subsystems together. Its own frame is drawn by the
// main panel: the window has no system title bar, keeps one size and is moved by dragging that
// panel's background.
class frmMain : public QWidget,
                private PanelSlide::SlideHost,
                private ConvertControls,
                private SelectAllBox,
                private PreviewControl,
                private WmaBitrateListView
{
    Q_OBJECT
public:
    // The system around the window, chosen by main() (and by tests, which put fakes where a real
    // one cannot run).
    struct Services {
        Engine& engine;
        CRegister& registry;
        MessageBox& messages;
        FileDialogs& dialogs;
        Shell& shell;
        PowerOff& powerOff;
        WmaSupportInstaller& wmaInstaller;
        std::function<void()> createInstanceMarker;
        std::filesystem::path wmaProbeFile;
        std::filesystem::path errorLogFile;
        std::string defaultOutPath;
        BatchStatus* batchStatus = nullptr; // the run's progress and end on the desktop; none in tests
        DiscTracks* discs = nullptr;        // cue sheets and CD drives; none: the engine's
        // Clients for the online lookups of listed discs, made on the lookups' thread; none: no lookups.
        std::function<std::unique_ptr<HttpClient>()> httpClients = {};
    };

    explicit frmMain(Services services, QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up of the window; false when the engine could not be opened and the program ends
    // (nothing has been saved).
    bool Load();
    // True once Load has opened the engine; shut-down then saves the settings and frees the engine.
    bool loaded() const { return m_loaded; }
    // Adds what a desktop's "Open with" names on the command line: a file as a drop on the grid
    // adds it (no warning), a folder as "Add Folder..." adds it.
    void addFilesFromCommandLine(const std::vector<std::string>& paths);
    // The program is asked to end (a termination signal, the end of the session): a run is stopped
    // and the window closes. Any other close is one the user asked for, refused during a run.
    void endProgram();
    // True while added files are being listed or wait for their durations.
    bool probing() const;
    // True while a listed disc waits for its online lookup.
    bool lookingUpDiscs() const;

    bool bLoading() const { return m_settings.bLoading(); }
    JobList& jobs() { return m_jobs; }
    OutputSettingsModel& settings() { return m_settings; }
    PreviewPlayer& player() { return *m_player; }
    const ConversionFlags& conversionFlags() const { return m_flags; }
    ConversionController& conversion() { return *m_controller; }
    JobGrid& Grid() { return *m_grid; }
    const std::array<std::string, 8>& WMATagNames() const { return m_WMATagNames; }
    bool tmrAnimateRunning() const { return m_tmrAnimate.isActive(); }
    // The top of a sliding panel, in twips.
    int panelTopTwips(const QWidget* panel) const;

    static constexpr int kTwipsPerPixel = 15;

protected:
    // The QueryUnload of the window: the close guard, then every road out saves the settings and
    // releases the engine.
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMainPanel();
    void buildPanels();
    void connectCommands();
    void LayoutMainWindow();
    bool SetupJobGrid();
    void createConversion();
    // Keeps the grid following a run that a click started, until it ends.
    void followRun();
    // The run's standing in the window's title, on the taskbar and in the grid's scroll position.
    void showRunStanding();
    void runEnded(const RunSummary& summary);
    // Puts the durations the probe measured into their jobs.
    void takeProbeResults();
    // "Add CD...": the chosen drive, with the read offset the user may have corrected stored and
    // given to the engine for the reads to come.
    std::optional<std::string> chooseCdDrive(const std::vector<std::string>& drives);
    // A listed disc goes to the online lookups when the stored setting allows them.
    void lookUpDisc(const std::string& disc);

    void cmdChangeFormat_Click();
    void cmdAbout_Click();
    void showPanel(QWidget* panel);
    void cmdClose_Click();
    void cmdBrowse_Click();
    void Grid_DblClick();

    // PanelSlide::SlideHost
    int movingPanelTop() const override;
    void setMovingPanelTop(int twips) override;
    int windowHeight() const override;
    void startTimer() override;
    void stopTimer() override;
    void setTimerInterval(int milliseconds) override;
    void enableMainPanel() override;

    // ConvertControls
    std::string caption(ConvertButton button) const override;
    void setCaption(ConvertButton button, const std::string& caption) override;
    void setButtonEnabled(ConvertButton button, bool enabled) override;
    void setControlEnabled(const std::string& control, bool enabled) override;
    void lockOutputStep(bool locked);
    ThemedButton* convertButton(ConvertButton button) const;

    // SelectAllBox
    int value() const override;
    void setValue(int value) override;

    // PreviewControl
    std::string PreviewFilePath() const override;
    void stopPreview() override;

    // WmaBitrateListView
    void showBitrates(const std::vector<WmaBitrateEntry>& entries, int selected) override;

    Services m_services;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_ending = false;

    JobList m_jobs;
    OutputSettingsModel m_settings;
    ConversionFlags m_flags;
    std::array<std::string, 8> m_WMATagNames;

    std::unique_ptr<JobTableModel> m_jobModel;
    std::unique_ptr<WmaInstallPrompt> m_wmaPrompt;
    std::unique_ptr<DurationProbe> m_durations;
    std::unique_ptr<BackgroundProbe> m_probe;
    std::unique_ptr<JobSelection> m_selection;
    std::unique_ptr<EventLoopTurns> m_addingTurns;
    std::unique_ptr<JobAdder> m_adder;
    std::unique_ptr<DiscTracks> m_engineDiscs; // when the services bring none
    std::unique_ptr<PreviewPlayer> m_player;
    std::unique_ptr<ErrorLog> m_errorLog;
    // The run reads through it: looked-up discs lend their tracks tags and the AccurateRip check.
    std::unique_ptr<LookedUpDiscsEngine> m_runEngine;
    std::unique_ptr<BackgroundDiscLookups> m_discLookups;
    std::unique_ptr<ConversionController> m_controller;

    PanelSlide m_slide{*this};
    QTimer m_tmrAnimate;
    QTimer m_tmrProgress;
    static constexpr int kProgressIntervalMs = 100;
    QWidget* m_movingPanel = nullptr;
    std::map<const QWidget*, int> m_panelTopTwips;

    ThemedPanel* frMain = nullptr;
    ThemedPanel* MyFrame1 = nullptr;
    FormatOptionsPanel* frFormats = nullptr;
    AboutPanel* frAbout = nullptr;
    SettingsBinder* m_binder = nullptr;
    JobGrid* m_grid = nullptr;

    ThemedButton* cmdAbout = nullptr;
    ThemedButton* MyButton1 = nullptr;
    ThemedButton* cmdMinimize = nullptr;
    ThemedButton* cmdClose = nullptr;
    ThemedButton* cmdAddFile = nullptr;
    ThemedButton* cmdAddCd = nullptr;
    ThemedButton* cmdAddFolder = nullptr;
    ThemedButton* cmdAddVideoFile = nullptr;
    ThemedButton* cmdRemove = nullptr;
    QCheckBox* chkSelectAll = nullptr;
    QCheckBox* chkIncludeSubFolders = nullptr;
    ThemedButton* cmdPlay = nullptr;
    ThemedButton* cmdPause = nullptr;
    ThemedButton* cmdStop = nullptr;
    ThemedButton* cmdPlayNext = nullptr;
    ThemedButton* cmdPlayPrev = nullptr;
    QRadioButton* optSameFolder = nullptr;
    QRadioButton* optOtherFolder = nullptr;
    QLineEdit* txtOutPath = nullptr;
    ThemedButton* cmdBrowse = nullptr;
    QLabel* lblFormat = nullptr;
    RunOutcomeLabel* lblRunOutcome = nullptr;
    ThemedButton* cmdChangeFormat = nullptr;
    QCheckBox* chkKeepSubFolders = nullptr;
    QLineEdit* txtNamePattern = nullptr;
    QComboBox* cmbIfExists = nullptr;
    ThemedButton* cmdConvert = nullptr;
    ThemedButton* cmdConvertSelected = nullptr;
    QCheckBox* chkShutdown = nullptr;
    std::map<std::string, QWidget*> m_runControls;
};

} // namespace tunevale
