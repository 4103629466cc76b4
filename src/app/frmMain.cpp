#include "frmMain.h"

#include "AboutPanel.h"
#include "AcceptedExtensions.h"
#include "ApplyTheme.h"
#include "BackgroundDiscLookups.h"
#include "BackgroundProbe.h"
#include "BatchStatus.h"
#include "CdSettings.h"
#include "ConversionController.h"
#include "DriveChooser.h"
#include "DurationProbe.h"
#include "EngineDiscTracks.h"
#include "ErrorLog.h"
#include "EventLoopTurns.h"
#include "FileDialogs.h"
#include "FormatOptionsPanel.h"
#include "Help.h"
#include "InitAudioEngine.h"
#include "JobAdder.h"
#include "JobGrid.h"
#include "JobSelection.h"
#include "JobTableModel.h"
#include "LookedUpDiscsEngine.h"
#include "MessageBox.h"
#include "PreviewPlayer.h"
#include "RunOutcomeLabel.h"
#include "RunPlan.h"
#include "SettingsBinder.h"
#include "Theme.h"
#include "ThemedButton.h"
#include "ThemedPanel.h"
#include "WindowDrag.h"
#include "WindowTitle.h"
#include "WmaSupport.h"
#include "WmaSupportInstaller.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <thread>

namespace tunevale
{

namespace
{

constexpr QSize kMainPanelSize(760, 640);
constexpr int kPanelWidth = 720;
constexpr int kPanelBottomGap = 8; // pixels left free below a risen panel

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* stepNumber(const QString& number, QWidget* parent)
{
    auto* label = new QLabel(number, parent);
    QFont font = label->font();
    font.setPointSize(font.pointSize() + 10);
    font.setBold(true);
    label->setFont(font);
    return label;
}

QFrame* line(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::HLine);
    frame->setFrameShadow(QFrame::Plain);
    return frame;
}

int pixels(int twips)
{
    return static_cast<int>(std::nearbyint(twips / double(frmMain::kTwipsPerPixel)));
}

} // namespace

frmMain::frmMain(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_services(std::move(services)),
      m_settings(m_services.registry, m_services.defaultOutPath)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tunevale"));
    m_jobModel = std::make_unique<JobTableModel>(m_jobs);
    m_wmaPrompt = std::make_unique<WmaInstallPrompt>(m_services.messages, m_services.wmaInstaller);
    // Measured on the probe's workers: no prompt from there (takeProbeResults asks on this thread).
    m_durations = std::make_unique<DurationProbe>(m_services.engine, nullptr, m_services.wmaProbeFile);
    m_probe = std::make_unique<BackgroundProbe>(
        [durations = m_durations.get()](const std::string& path) { return durations->GetDurationText(path); },
        [this] {
            QMetaObject::invokeMethod(
                this, [this] { takeProbeResults(); }, Qt::QueuedConnection);
        },
        std::max(1u, std::thread::hardware_concurrency()));
    m_selection =
        std::make_unique<JobSelection>(m_jobs, static_cast<SelectAllBox&>(*this), static_cast<PreviewControl&>(*this));
    m_adder = std::make_unique<JobAdder>(m_jobs, *m_selection, *m_durations, m_services.dialogs, m_services.messages);
    m_adder->probeInBackground(m_probe.get());
    m_addingTurns = std::make_unique<EventLoopTurns>(this);
    m_adder->addInTurns(m_addingTurns.get());
    if (!m_services.discs)
        m_engineDiscs = std::make_unique<EngineDiscTracks>();
    m_adder->setDiscTracks(m_services.discs ? m_services.discs : m_engineDiscs.get());
    m_errorLog = std::make_unique<ErrorLog>(m_services.errorLogFile);
    m_runEngine = std::make_unique<LookedUpDiscsEngine>(m_services.engine);
    m_jobModel->setDiscNotes(m_runEngine.get());
    if (m_services.httpClients)
        m_discLookups = std::make_unique<BackgroundDiscLookups>(
            *m_runEngine, m_services.httpClients, tunevaleUserAgent(TUNEVALE_VERSION), [this](const std::string&) {
                QMetaObject::invokeMethod(
                    this, [this] { m_jobModel->discNotesChanged(); }, Qt::QueuedConnection);
            });
    m_adder->onDiscAdded = [this](const std::string& disc) { lookUpDisc(disc); };

    buildMainPanel();
    buildPanels();
    m_player = std::make_unique<PreviewPlayer>(m_services.engine, *m_grid, m_services.messages);
    m_player->onPauseCaption(
        [this](const std::string& caption) { cmdPause->setText(QString::fromStdString(caption)); });
    m_binder = new SettingsBinder(m_settings, this);
    frFormats->bind(*m_binder);
    m_binder->option(optOtherFolder, OutputControl::optOtherFolder);
    m_binder->option(optSameFolder, OutputControl::optSameFolder);
    m_binder->text(txtOutPath, OutputControl::txtOutPath);
    m_binder->enabledOnly(cmdBrowse, OutputControl::cmdBrowse);
    m_binder->caption(lblFormat, OutputControl::lblFormat);
    m_binder->check(chkShutdown, OutputControl::chkShutdown);
    m_binder->check(chkIncludeSubFolders, OutputControl::chkIncludeSubFolders);
    m_binder->check(chkKeepSubFolders, OutputControl::chkKeepSubFolders);
    m_binder->text(txtNamePattern, OutputControl::txtNamePattern);
    m_binder->combo(cmbIfExists, OutputControl::cmbIfExists);
    m_binder->refresh();
    connectCommands();
    // The last run's outcome no longer describes a list that has gained or lost files.
    connect(m_jobModel.get(), &QAbstractItemModel::rowsInserted, lblRunOutcome, &QLabel::clear);
    connect(m_jobModel.get(), &QAbstractItemModel::rowsRemoved, lblRunOutcome, &QLabel::clear);
    connect(m_jobModel.get(), &QAbstractItemModel::modelReset, lblRunOutcome, &QLabel::clear);

    m_tmrProgress.setObjectName(QStringLiteral("tmrProgress"));
    m_tmrProgress.setInterval(kProgressIntervalMs);
    connect(&m_tmrProgress, &QTimer::timeout, this, [this] {
        if (m_controller)
            m_controller->tick();
        showRunStanding();
        if (!m_flags.bConverting)
            m_tmrProgress.stop();
    });
    m_tmrAnimate.setObjectName(QStringLiteral("tmrAnimate"));
    connect(&m_tmrAnimate, &QTimer::timeout, this, [this] { m_slide.tick(); });
}

frmMain::~frmMain()
{
    // The workers use the engine and the probe; they end before either does.
    m_probe->stop();
    m_discLookups.reset();
}

bool frmMain::lookingUpDiscs() const
{
    return m_discLookups && m_discLookups->busy();
}

void frmMain::lookUpDisc(const std::string& disc)
{
    if (m_discLookups && loadCdSettings(m_services.registry).onlineLookup)
        m_discLookups->lookUp(disc);
}

std::optional<std::string> frmMain::chooseCdDrive(const std::vector<std::string>& drives)
{
    CdSettings cd = loadCdSettings(m_services.registry);
    int offset = cd.readOffset;
    std::optional<std::string> drive = chooseDrive(this, drives, offset);
    if (drive && offset != cd.readOffset) {
        cd.readOffset = offset;
        if (!saveCdSettings(m_services.registry, cd))
            m_services.messages.show("The read offset could not be stored; it holds until Tunevale ends.", "Tunevale",
                                     MessageIcon::Exclamation, MessageButtons::Ok);
        m_services.engine.SetConfig(EngineConfig::CdReadOffset, static_cast<std::uint32_t>(offset));
    }
    return drive;
}

void frmMain::takeProbeResults()
{
    // A few hundred at a time, so that a pile of results does not hold the window up either.
    constexpr std::size_t resultsPerTurn = 300;
    auto results = m_probe->takeResults(resultsPerTurn);
    if (results.size() == resultsPerTurn)
        QTimer::singleShot(0, this, [this] { takeProbeResults(); });
    for (auto& result : results) {
        const bool failed = result.duration == DurationError;
        if (!m_jobs.rsJobs().setProbedDuration(result.path, std::move(result.duration)))
            continue;
        // A Windows Media file that would not open may only lack the WMA decoder: offer it.
        if (failed && isWindowsMediaFile(result.path) && !CheckWMASupport(m_services.engine, m_services.wmaProbeFile))
            m_wmaPrompt->show();
    }
}

bool frmMain::probing() const
{
    return m_adder->adding() || m_probe->outstanding() != 0;
}

void frmMain::buildMainPanel()
{
    frMain = named(new ThemedPanel(QStringLiteral("Tunevale"), this), "frMain");
    frMain->resize(kMainPanelSize);
    new WindowDrag(*frMain, *this);

    // The window's own title-bar buttons, at the top right of the main panel's header.
    cmdAbout = named(new ThemedButton(QStringLiteral("About"), frMain), "cmdAbout");
    MyButton1 = named(new ThemedButton(QStringLiteral("Help"), frMain), "MyButton1");
    cmdMinimize = named(new ThemedButton(QStringLiteral("Minimize"), frMain), "cmdMinimize");
    cmdClose = named(new ThemedButton(QStringLiteral("Close"), frMain), "cmdClose");
    int right = kMainPanelSize.width() - 4;
    for (ThemedButton* button : {cmdClose, cmdMinimize, MyButton1, cmdAbout}) {
        const int width = button->sizeHint().width();
        button->setGeometry(right - width, 2, width, ThemedPanel::kHeaderHeight - 3);
        button->setFocusPolicy(Qt::NoFocus);
        right -= width + 3;
    }

    auto* layout = new QVBoxLayout(frMain);
    MyFrame1 = named(
        new ThemedPanel(
            QStringLiteral("Three Easy Steps to convert your audio files or extract audio from video files"), frMain),
        "MyFrame1");
    layout->addWidget(MyFrame1);
    auto* steps = new QVBoxLayout(MyFrame1);

    auto* step1 = new QHBoxLayout;
    step1->addWidget(stepNumber(QStringLiteral("1"), MyFrame1));
    step1->addWidget(new QLabel(QStringLiteral("  - Add Audio or Video Files/Folders"), MyFrame1));
    step1->addStretch(1);
    cmdAddFile = named(new ThemedButton(QStringLiteral("Add Audio File..."), MyFrame1), "cmdAddFile");
    cmdAddCd = named(new ThemedButton(QStringLiteral("Add CD..."), MyFrame1), "cmdAddCd");
    cmdAddFolder = named(new ThemedButton(QStringLiteral("Add Folder..."), MyFrame1), "cmdAddFolder");
    cmdAddVideoFile = named(new ThemedButton(QStringLiteral("Add Video File..."), MyFrame1), "cmdAddVideoFile");
    step1->addWidget(cmdAddFile);
    step1->addWidget(cmdAddCd);
    step1->addWidget(cmdAddFolder);
    step1->addWidget(cmdAddVideoFile);
    steps->addLayout(step1);
    auto* hint = new QHBoxLayout;
    hint->setSpacing(0); // the stretch keeps the two apart; the long hint needs every pixel
    hint->addWidget(new QLabel(
        QStringLiteral("For Quick Adding:You can drag and drop audio or video files into the below list"), MyFrame1));
    hint->addStretch(1);
    // How deep "Add Folder..." looks; right below the command it changes.
    chkIncludeSubFolders =
        named(new QCheckBox(QStringLiteral("Include sub-folders"), MyFrame1), "chkIncludeSubFolders");
    hint->addWidget(chkIncludeSubFolders);
    steps->addLayout(hint);

    m_grid = named(new JobGrid(*m_jobModel, MyFrame1), "Grid");
    steps->addWidget(m_grid, 1);

    auto* listCommands = new QHBoxLayout;
    cmdRemove = named(new ThemedButton(QStringLiteral("Remove Selected"), MyFrame1), "cmdRemove");
    chkSelectAll = named(new QCheckBox(QStringLiteral("Select/Unselect All"), MyFrame1), "chkSelectAll");
    listCommands->addWidget(cmdRemove);
    listCommands->addWidget(chkSelectAll);
    listCommands->addStretch(1);
    cmdPlay = named(new ThemedButton(QStringLiteral("Play"), MyFrame1), "cmdPlay");
    cmdPause = named(new ThemedButton(QStringLiteral("Pause"), MyFrame1), "cmdPause");
    cmdStop = named(new ThemedButton(QStringLiteral("Stop"), MyFrame1), "cmdStop");
    cmdPlayPrev = named(new ThemedButton(QStringLiteral("Play Previous"), MyFrame1), "cmdPlayPrev");
    cmdPlayNext = named(new ThemedButton(QStringLiteral("Play Next"), MyFrame1), "cmdPlayNext");
    for (ThemedButton* button : {cmdPlay, cmdPause, cmdStop, cmdPlayPrev, cmdPlayNext})
        listCommands->addWidget(button);
    steps->addLayout(listCommands);
    steps->addWidget(line(MyFrame1));

    auto* step2 = new QHBoxLayout;
    step2->addWidget(stepNumber(QStringLiteral("2"), MyFrame1));
    step2->addWidget(new QLabel(QStringLiteral("  - Select Output Folder and Format"), MyFrame1));
    step2->addStretch(1);
    // How the last run ended, beside the output folder that holds its files.
    lblRunOutcome = named(new RunOutcomeLabel(MyFrame1), "lblRunOutcome");
    step2->addWidget(lblRunOutcome);
    steps->addLayout(step2);
    auto* folder = new QHBoxLayout;
    folder->addWidget(new QLabel(QStringLiteral("Output Folder:"), MyFrame1));
    optSameFolder = named(new QRadioButton(QStringLiteral("Same folder as input file"), MyFrame1), "optSameFolder");
    optOtherFolder = named(new QRadioButton(QStringLiteral("Other folder"), MyFrame1), "optOtherFolder");
    txtOutPath = named(new QLineEdit(MyFrame1), "txtOutPath");
    cmdBrowse = named(new ThemedButton(QStringLiteral("Browse..."), MyFrame1), "cmdBrowse");
    folder->addWidget(optSameFolder);
    folder->addWidget(optOtherFolder);
    folder->addWidget(txtOutPath, 1);
    folder->addWidget(cmdBrowse);
    steps->addLayout(folder);
    auto* format = new QHBoxLayout;
    format->addWidget(new QLabel(QStringLiteral("Output Format:"), MyFrame1));
    lblFormat = named(new QLabel(MyFrame1), "lblFormat");
    format->addWidget(lblFormat, 1);
    cmdChangeFormat = named(new ThemedButton(QStringLiteral("Change..."), MyFrame1), "cmdChangeFormat");
    format->addWidget(cmdChangeFormat);
    steps->addLayout(format);
    auto* outputLayout = new QHBoxLayout;
    chkKeepSubFolders = named(new QCheckBox(QStringLiteral("Keep sub-folders"), MyFrame1), "chkKeepSubFolders");
    txtNamePattern = named(new QLineEdit(MyFrame1), "txtNamePattern");
    txtNamePattern->setPlaceholderText(QStringLiteral("{albumartist}/{album}/{track:02} {title}"));
    txtNamePattern->setToolTip(QStringLiteral("Names from tags: {artist} {albumartist} {album} {title} {track} "
                                              "{disc} {year} {genre} {name} {folder}; empty keeps each file's name"));
    cmbIfExists = named(new QComboBox(MyFrame1), "cmbIfExists");
    outputLayout->addWidget(chkKeepSubFolders);
    outputLayout->addWidget(new QLabel(QStringLiteral("Names:"), MyFrame1));
    outputLayout->addWidget(txtNamePattern, 1);
    outputLayout->addWidget(new QLabel(QStringLiteral("When the output exists:"), MyFrame1));
    outputLayout->addWidget(cmbIfExists);
    steps->addLayout(outputLayout);
    steps->addWidget(line(MyFrame1));

    auto* step3 = new QHBoxLayout;
    step3->addWidget(stepNumber(QStringLiteral("3"), MyFrame1));
    step3->addWidget(new QLabel(QStringLiteral("- Click Convert to start conversion"), MyFrame1));
    step3->addStretch(1);
    chkShutdown = named(new QCheckBox(QStringLiteral("Shutdown after conversion complete"), MyFrame1), "chkShutdown");
    cmdConvert = named(new ThemedButton(QStringLiteral("Convert All"), MyFrame1), "cmdConvert");
    cmdConvertSelected = named(new ThemedButton(QStringLiteral("Convert Selected"), MyFrame1), "cmdConvertSelected");
    step3->addWidget(chkShutdown);
    step3->addWidget(cmdConvert);
    step3->addWidget(cmdConvertSelected);
    steps->addLayout(step3);

    for (const auto& [name, widget] :
         std::initializer_list<std::pair<const char*, QWidget*>>{{"cmdChangeFormat", cmdChangeFormat},
                                                                 {"cmdRemove", cmdRemove},
                                                                 {"cmdPlay", cmdPlay},
                                                                 {"cmdPause", cmdPause},
                                                                 {"cmdStop", cmdStop},
                                                                 {"cmdPlayPrev", cmdPlayPrev},
                                                                 {"cmdPlayNext", cmdPlayNext},
                                                                 {"cmdBrowse", cmdBrowse},
                                                                 {"optSameFolder", optSameFolder},
                                                                 {"optOtherFolder", optOtherFolder},
                                                                 {"chkSelectAll", chkSelectAll},
                                                                 {"cmdAddFile", cmdAddFile},
                                                                 {"cmdAddCd", cmdAddCd},
                                                                 {"cmdAddFolder", cmdAddFolder},
                                                                 {"cmdAddVideoFile", cmdAddVideoFile}})
        m_runControls[name] = widget;
}

void frmMain::buildPanels()
{
    frFormats = new FormatOptionsPanel(this);
    frAbout = new AboutPanel(this);
    for (QWidget* panel : {static_cast<QWidget*>(frFormats), static_cast<QWidget*>(frAbout)})
        panel->raise();
}

void frmMain::connectCommands()
{
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(MyButton1, &QPushButton::clicked, this, [this] { openHelp(m_services.shell, m_services.messages); });
    connect(cmdMinimize, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);
    connect(frAbout, &AboutPanel::webSiteClicked, this, [this] { openMakerWebSite(m_services.shell); });
    connect(frAbout->cmdCloseHelp, &QPushButton::clicked, this, [this] { m_slide.SlidePanel("EDIT_FRAME_DOWN"); });
    connect(cmdChangeFormat, &QPushButton::clicked, this, &frmMain::cmdChangeFormat_Click);
    connect(frFormats->cmdHide, &QPushButton::clicked, this, [this] {
        m_slide.SlidePanel("EDIT_FRAME_DOWN");
        m_settings.ShowFormatSummary();
    });
    connect(frFormats->cmdDefaults, &QPushButton::clicked, this, [this] { m_settings.cmdDefaults(); });
    connect(frFormats->cmdDownloadWMF, &QPushButton::clicked, this,
            [this] { m_services.wmaInstaller.downloadAndInstall(); });
    connect(frFormats->cmdOpenWMSite, &QPushButton::clicked, this,
            [this] { m_services.wmaInstaller.openSupportPage(); });
    connect(cmdBrowse, &QPushButton::clicked, this, &frmMain::cmdBrowse_Click);

    connect(cmdAddFile, &QPushButton::clicked, this, [this] { m_adder->AddAudioFiles(); });
    connect(cmdAddCd, &QPushButton::clicked, this, [this] {
        m_adder->addCd([this](const std::vector<std::string>& drives) { return chooseCdDrive(drives); });
    });
    connect(cmdAddVideoFile, &QPushButton::clicked, this, [this] { m_adder->AddVideoFiles(); });
    connect(cmdAddFolder, &QPushButton::clicked, this,
            [this] { m_adder->addFolder(m_settings.settings().chkIncludeSubFolders.value); });
    m_grid->onFilesDropped([this](const std::vector<std::string>& files) { m_adder->addDroppedFiles(files); });
    connect(m_grid, &JobGrid::rowDoubleClicked, this, &frmMain::Grid_DblClick);
    connect(cmdRemove, &QPushButton::clicked, this, [this] { m_selection->removeTickedJobs(); });
    connect(chkSelectAll, &QCheckBox::clicked, this, [this] { m_selection->selectAllPass(); });

    connect(cmdPlay, &QPushButton::clicked, this, [this] { m_player->clickPlay(); });
    connect(cmdPause, &QPushButton::clicked, this, [this] { m_player->clickPause(); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { m_player->clickStop(); });
    connect(cmdPlayNext, &QPushButton::clicked, this, [this] { m_player->clickPlayNext(); });
    connect(cmdPlayPrev, &QPushButton::clicked, this, [this] { m_player->clickPlayPrev(); });

    connect(cmdConvert, &QPushButton::clicked, this, [this] {
        if (m_controller)
            m_controller->cmdConvert_Click();
        followRun();
    });
    connect(cmdConvertSelected, &QPushButton::clicked, this, [this] {
        if (m_controller)
            m_controller->cmdConvertSelected_Click();
        followRun();
    });
}

bool frmMain::Load()
{
    if (m_services.createInstanceMarker)
        m_services.createInstanceMarker();
    m_settings.setLoading(true);
    LayoutMainWindow();
    if (!InitAudioEngine(m_services.engine, m_services.messages, m_WMATagNames))
        return false;
    m_services.engine.SetConfig(EngineConfig::CdReadOffset,
                                static_cast<std::uint32_t>(loadCdSettings(m_services.registry).readOffset));
    m_loaded = true;
    createConversion();
    m_settings.LoadSettings();
    m_settings.setLoading(false);
    // Without a WMA encoder the WMA options give way to the notice that offers to install one.
    frFormats->showWmaNotice(!CheckWMASupport(m_services.engine, m_services.wmaProbeFile));
    return true;
}

void frmMain::followRun()
{
    if (!m_flags.bConverting || m_tmrProgress.isActive())
        return;
    lblRunOutcome->clear();
    m_grid->startFollowing();
    m_tmrProgress.start();
}

void frmMain::showRunStanding()
{
    const ConversionRun* run = m_controller ? m_controller->run() : nullptr;
    if (!run) {
        setWindowTitle(QString::fromStdString(runWindowTitle(0, 0)));
        return;
    }
    const RunStanding standing = runStanding(*run);
    setWindowTitle(
        QString::fromStdString(runWindowTitle(static_cast<int>(standing.started), static_cast<int>(standing.total))));
    if (m_services.batchStatus)
        m_services.batchStatus->showProgress(standing.fraction);
    if (standing.latestRow)
        m_grid->followRow(static_cast<int>(*standing.latestRow));
}

void frmMain::runEnded(const RunSummary& summary)
{
    lblRunOutcome->showOutcome(summary);
    // A notification only when the user is elsewhere; the taskbar's progress goes either way.
    if (m_services.batchStatus)
        m_services.batchStatus->runFinished(summary, !isActiveWindow());
}

void frmMain::addFilesFromCommandLine(const std::vector<std::string>& paths)
{
    m_adder->addOpenedPaths(paths, m_settings.settings().chkIncludeSubFolders.value);
}

void frmMain::createConversion()
{
    ConversionController::Services services{*m_runEngine,
                                            *m_errorLog,
                                            m_jobs,
                                            m_settings.settings(),
                                            m_WMATagNames,
                                            static_cast<ConvertControls&>(*this),
                                            m_services.messages,
                                            &m_services.powerOff,
                                            [this] { m_player->clickStop(); },
                                            static_cast<WmaBitrateListView*>(this)};
    m_controller = std::make_unique<ConversionController>(std::move(services), m_flags);
    m_controller->onRunEnded = [this](const RunSummary& summary) { runEnded(summary); };
}

void frmMain::LayoutMainWindow()
{
    frMain->move(0, 0);
    // One size, as drawn: equal least and greatest sizes tell window managers not to maximise,
    // tile or resize the window (changeEvent undoes a maximise that comes all the same).
    setFixedSize(frMain->size());
    const int panelHeight = std::max(200, height() - PanelSlide::kShownTop / kTwipsPerPixel - kPanelBottomGap);
    const int left = (frMain->width() - kPanelWidth) / 2;
    for (QWidget* panel : {static_cast<QWidget*>(frFormats), static_cast<QWidget*>(frAbout)}) {
        panel->resize(kPanelWidth, panelHeight);
        m_movingPanel = panel;
        setMovingPanelTop(windowHeight());
        panel->move(left, panel->y());
    }
    m_movingPanel = nullptr;
    ApplyTheme(*this);
    SetupJobGrid();
    frAbout->lblVer->setText(QStringLiteral("%1.%2.0.%3")
                                 .arg(TUNEVALE_VERSION_MAJOR)
                                 .arg(TUNEVALE_VERSION_MINOR)
                                 .arg(TUNEVALE_VERSION_REVISION));
    frAbout->showErrorLogPath(QString::fromStdString(m_services.errorLogFile.string()));
}

bool frmMain::SetupJobGrid()
{
    if (!m_jobs.CreateJobTable())
        return false;
    QPalette palette = m_grid->palette();
    palette.setColor(QPalette::Base, theme::C1);
    palette.setColor(QPalette::AlternateBase, theme::C1);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Highlight, theme::C3);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    m_grid->setPalette(palette);
    m_grid->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; color: white; border: 0px; "
                                         "border-right: 1px solid %2; padding: 2px; }")
                              .arg(theme::C3.name(), theme::C4.name()));
    m_grid->setGridStyle(Qt::SolidLine);
    return true;
}

int frmMain::panelTopTwips(const QWidget* panel) const
{
    const auto found = m_panelTopTwips.find(panel);
    return found == m_panelTopTwips.end() ? 0 : found->second;
}

void frmMain::cmdChangeFormat_Click()
{
    showPanel(frFormats);
}

void frmMain::cmdAbout_Click()
{
    showPanel(frAbout);
}

void frmMain::showPanel(QWidget* panel)
{
    if (m_tmrAnimate.isActive())
        return;
    m_movingPanel = panel;
    frMain->setEnabled(false);
    // The keyboard follows the panel, starting on its close button.
    (panel == frFormats ? frFormats->cmdHide : frAbout->cmdCloseHelp)->setFocus(Qt::OtherFocusReason);
    m_slide.SlidePanel("EDIT_FRAME_UP");
}

void frmMain::cmdClose_Click()
{
    close();
}

void frmMain::endProgram()
{
    m_ending = true;
    close();
}

void frmMain::cmdBrowse_Click()
{
    const std::string folder = m_services.dialogs.BrowseForFolder("Select folder to add", true);
    if (!folder.empty())
        m_settings.setText(OutputControl::txtOutPath, folder);
}

void frmMain::Grid_DblClick()
{
    if (cmdPlay->isEnabled())
        m_player->clickPlay();
}

void frmMain::changeEvent(QEvent* event)
{
    // A window manager's maximise or full-screen (a double click, a tiling key) is undone: the
    // window has one size, and a larger one would only show empty space and the parked panels.
    if (event->type() == QEvent::WindowStateChange && windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    QWidget::changeEvent(event);
}

void frmMain::keyPressEvent(QKeyEvent* event)
{
    // Escape closes a risen panel as its close button does.
    if (event->key() == Qt::Key_Escape && m_movingPanel && !frMain->isEnabled()) {
        (m_movingPanel == frFormats ? frFormats->cmdHide : frAbout->cmdCloseHelp)->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Every close the user asks for (the Close button, the window manager's close, Alt+F4, the
    // taskbar) keeps the window during a run, with the warning.
    if (!m_ending && m_controller && !m_controller->cmdClose_Click()) {
        event->ignore();
        return;
    }
    // The program is ending during a run: the run stops as "Stop" stops it and ends before the
    // engine goes; a machine is never powered off by closing.
    if (m_controller)
        m_controller->stopAndWait();
    m_probe->stop();
    if (m_loaded && !m_unloaded) {
        m_unloaded = true;
        m_settings.SaveSettings();
        m_services.engine.Free();
    }
    event->accept();
}

int frmMain::movingPanelTop() const
{
    return panelTopTwips(m_movingPanel);
}

void frmMain::setMovingPanelTop(int twips)
{
    if (!m_movingPanel)
        return;
    m_panelTopTwips[m_movingPanel] = twips;
    m_movingPanel->move(m_movingPanel->x(), pixels(twips));
}

int frmMain::windowHeight() const
{
    return height() * kTwipsPerPixel;
}

void frmMain::startTimer()
{
    m_tmrAnimate.start();
}

void frmMain::stopTimer()
{
    m_tmrAnimate.stop();
}

void frmMain::setTimerInterval(int milliseconds)
{
    m_tmrAnimate.setInterval(milliseconds);
}

void frmMain::enableMainPanel()
{
    frMain->setEnabled(true);
}

ThemedButton* frmMain::convertButton(ConvertButton button) const
{
    return button == ConvertButton::cmdConvert ? cmdConvert : cmdConvertSelected;
}

std::string frmMain::caption(ConvertButton button) const
{
    return convertButton(button)->text().toStdString();
}

void frmMain::setCaption(ConvertButton button, const std::string& caption)
{
    convertButton(button)->setText(QString::fromStdString(caption));
}

void frmMain::setButtonEnabled(ConvertButton button, bool enabled)
{
    convertButton(button)->setEnabled(enabled);
}

void frmMain::setControlEnabled(const std::string& control, bool enabled)
{
    // The output-folder controls also follow the settings (the browse button stays off while the
    // same-folder option is on), so the run only locks them.
    if (control == "cmdBrowse")
        m_binder->setRunLocked(OutputControl::cmdBrowse, !enabled);
    else if (control == "optSameFolder")
        m_binder->setRunLocked(OutputControl::optSameFolder, !enabled);
    else if (control == "optOtherFolder")
        lockOutputStep(!enabled);
    else if (control == "cmdAddFile") {
        // The other ways of adding rest with it: a CD's tracks, and whether folders bring their
        // sub-folders.
        cmdAddFile->setEnabled(enabled);
        cmdAddCd->setEnabled(enabled);
        m_binder->setRunLocked(OutputControl::chkIncludeSubFolders, !enabled);
    } else if (const auto found = m_runControls.find(control); found != m_runControls.end())
        found->second->setEnabled(enabled);
}

void frmMain::lockOutputStep(bool locked)
{
    // Where a run's outputs go is fixed when it starts; the controls that say so rest until it ends.
    for (OutputControl control : {OutputControl::optOtherFolder, OutputControl::chkKeepSubFolders,
                                  OutputControl::txtNamePattern, OutputControl::cmbIfExists})
        m_binder->setRunLocked(control, locked);
}

int frmMain::value() const
{
    return chkSelectAll->isChecked() ? 1 : 0;
}

void frmMain::setValue(int value)
{
    chkSelectAll->setChecked(value == 1);
}

std::string frmMain::PreviewFilePath() const
{
    return m_player->PreviewFilePath();
}

void frmMain::stopPreview()
{
    m_player->clickStop();
}

void frmMain::showBitrates(const std::vector<WmaBitrateEntry>& entries, int selected)
{
    // A WMA job reports its list from its worker thread; the list box is changed on the window's.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, entries, selected] { showBitrates(entries, selected); }, Qt::QueuedConnection);
        return;
    }
    std::vector<std::string> texts;
    std::vector<std::int64_t> data;
    for (const WmaBitrateEntry& entry : entries) {
        texts.push_back(entry.text);
        data.push_back(entry.bitrate);
    }
    m_settings.setComboList(OutputControl::cmbWMAEncodingBitrate, std::move(texts), std::move(data));
    m_settings.setComboIndex(OutputControl::cmbWMAEncodingBitrate, selected);
}

} // namespace tunevale
