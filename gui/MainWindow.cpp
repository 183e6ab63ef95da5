#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "AVShiftDialog.h"
#include "DesktopSession.h"
#include "ExportDialog.h"
#include "FileListModel.h"
#include "MovieExportDialog.h"
#include "OffsetDialog.h"
#include "PlayerView.h"
#include "ProgressSheet.h"
#include "ReadAudioTcDialog.h"
#include "SettingsDialog.h"
#include "TimelineView.h"
#include "UpdateChecker.h"
#include "app/ExportCommands.h"
#include "export/MovieExportRun.h"
#include "platform/DefaultsKeys.h"
#include "platform/UserDefaults.h"
#include "sync/MediaComposition.h"

namespace vorlane::gui {

namespace {

// The add dialog's filter: audiovisual content and the extensions the pool also reads.
const char* const kAddFilter =
    "Media (*.mov *.mp4 *.m4v *.m4a *.mts *.m2t *.m2ts *.mxf *.r3d *.crm *.dng *.wav *.bwf "
    "*.aif *.aiff *.mp3 *.fcpxml *.MOV *.MP4 *.MTS *.MXF *.WAV *.R3D *.CRM *.DNG);;All files (*)";

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      center_(NotificationCenter::defaultCenter()),
      defaults_(UserDefaults::standardUserDefaults()),
      application_(ApplicationHooks::standard(), defaults_, center_),
      offsetPanel_(center_),
      avShiftPanel_(defaults_, center_),
      readAudioTcPanel_(defaults_) {
    setWindowTitle(QString::fromStdString(MainWindowController::windowTitle()));
    setAcceptDrops(true);
    resize(1280, 800);

    progress_ = new ProgressSheet(this);
    application_.setProgressDisplay(progress_);
    offsetDialog_ = new OffsetDialog(offsetPanel_, this);
    avShiftDialog_ = new AVShiftDialog(avShiftPanel_, alerts_, this);
    readAudioTcDialog_ = new ReadAudioTcDialog(readAudioTcPanel_, this);
    settingsDialog_ = new SettingsDialog(defaults_, this);
    xmlExportDialog_ = new ExportDialog(ExportDialog::Kind::XML, defaults_, validator_, this);
    aafExportDialog_ = new ExportDialog(ExportDialog::Kind::AAF, defaults_, validator_, this);
    movieExportDialog_ = new MovieExportDialog(defaults_, validator_, this);

    auto* info = new QDialog(this);
    info->setObjectName("infoPanel");
    info->resize(520, 600);
    infoText_ = new QPlainTextEdit(info);
    infoText_->setReadOnly(true);
    infoText_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    (new QVBoxLayout(info))->addWidget(infoText_);
    infoPanel_ = info;
    updateChecker_ = new UpdateChecker(defaults_, alerts_, this);

    controller_ = std::make_unique<MainWindowController>(application_, *this, defaults_);
    buildFileList();
    buildActions();
    buildMenus();
    buildToolBar();

    controller_->awakeFromNib();
    keepCameraAudio_->setChecked(controller_->keepOriginalAudio());
    multicam_->setChecked(controller_->multicam());
    connect(keepCameraAudio_, &QCheckBox::toggled, this,
            [this](bool on) { controller_->keepCameraAudio(on); });
    connect(multicam_, &QCheckBox::toggled, this,
            [this](bool on) { controller_->multicamMode(on); });

    for (const char* name : {kAnalyzingStartedNotification, kAnalyzingFinishedNotification})
        observers_.push_back(
            center_.addObserverForName(name, [this](const Notification&) { model_->reload(); }));
    statusBar()->showMessage("Drop camera and sound files or folders here, or add them.");
}

MainWindow::~MainWindow() {
    waitForExport();
    for (const auto token : observers_)
        center_.removeObserver(token);
    playerView_->stop();
    controller_.reset();
    application_.setProgressDisplay(nullptr);
    table_->setModel(nullptr);
    delete proxy_;
    delete model_;
}

// The views

void MainWindow::buildFileList() {
    model_ = new FileListModel(application_.mediaPool(), center_);
    proxy_ = new QSortFilterProxyModel;
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(FileListModel::SortRole);
    table_ = new QTableView;
    table_->setObjectName("fileList");
    table_->setModel(proxy_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(FileListModel::ThumbnailColumn, Qt::AscendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(58);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(FileListModel::ThumbnailColumn, 100);
    table_->setColumnWidth(FileListModel::NameColumn, 160);
    table_->setColumnWidth(FileListModel::TimecodeColumn, 100);
    table_->setColumnWidth(FileListModel::SyncGroupColumn, 55);
    table_->setColumnWidth(FileListModel::SyncInfoColumn, 250);
    table_->setColumnWidth(FileListModel::FileColumn, 190);
    table_->setColumnWidth(FileListModel::VideoColumn, 180);
    table_->setColumnWidth(FileListModel::AudioColumn, 160);
    table_->setColumnWidth(FileListModel::FileTimecodeColumn, 150);
    table_->installEventFilter(this);
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        controller_->doubleClickSelect(size_t(proxy_->mapToSource(index).row()));
    });
    connect(table_, &QTableView::customContextMenuRequested, this, &MainWindow::showContextMenu);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::selectionChanged);

    auto* player = new QWidget;
    playerView_ = new PlayerView(controller_->player());
    controller_->player().setView(playerView_);
    compositionTitle_ = new QLabel("No composition");
    QFont bold = compositionTitle_->font();
    bold.setBold(true);
    compositionTitle_->setFont(bold);
    timeline_ = new TimelineView;
    connect(timeline_, &TimelineView::trackViewPosition, this, &MainWindow::trackViewPosition);
    connect(playerView_, &PlayerView::playHeadMoved, timeline_, &TimelineView::setPlayHead);
    auto* playerLayout = new QVBoxLayout(player);
    playerLayout->setContentsMargins(4, 4, 4, 4);
    playerLayout->addWidget(compositionTitle_);
    playerLayout->addWidget(timeline_);

    // The player's picture above the timeline, the file list below.
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(playerView_);
    splitter->addWidget(player);
    splitter->addWidget(table_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setStretchFactor(2, 2);
    splitter->setSizes({290, 230, 170});
    setCentralWidget(splitter);
}

IndexSet MainWindow::selectedRows() const {
    IndexSet rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.insert(size_t(proxy_->mapToSource(index).row()));
    return rows;
}

void MainWindow::selectRows(const IndexSet& rows) {
    QItemSelection selection;
    for (const size_t row : rows) {
        const QModelIndex index = proxy_->mapFromSource(model_->index(int(row), 0));
        if (index.isValid()) selection.select(index, index);
    }
    table_->selectionModel()->select(
        selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!selection.isEmpty()) {
        table_->selectionModel()->setCurrentIndex(selection.indexes().first(),
                                                  QItemSelectionModel::NoUpdate);
        table_->scrollTo(selection.indexes().first());
    }
}

void MainWindow::reloadFileList() {
    const IndexSet selected = selectedRows();
    model_->reload();
    selectRows(selected);
}

void MainWindow::setShowVideoSyncGroups(bool on) {
    model_->setShowVideoSyncGroups(on);
}

void MainWindow::setupPlayerWithComposition(const std::shared_ptr<MediaComposition>& composition,
                                            bool, bool zoomNormal) {
    const QString problem = playerView_->compositionChanged();
    if (!problem.isEmpty()) statusBar()->showMessage(problem);
    timeline_->showComposition(composition);
    if (zoomNormal) timeline_->zoomNormal();
    if (!composition || composition->tracks().empty()) {
        compositionTitle_->setText("No composition");
        return;
    }
    compositionTitle_->setText(
        QString("%1 — %2").arg(QString::fromStdString(composition->name()),
                               QString::fromStdString(composition->syncInformation())));
}

void MainWindow::trackViewPosition(double seconds, int dragType) {
    controller_->player().trackViewPosition(seconds, dragType);
}

void MainWindow::setSyncInfoShown(bool shown) {
    syncInfoAction_->setChecked(shown);
}

// Actions and menus

void MainWindow::buildActions() {
    addAction_ =
        new QAction(style()->standardIcon(QStyle::SP_DialogOpenButton), "Add File(s)...", this);
    addAction_->setShortcut(QKeySequence::Open);
    connect(addAction_, &QAction::triggered, this, &MainWindow::add);
    removeAction_ = new QAction(style()->standardIcon(QStyle::SP_TrashIcon), "Remove", this);
    removeAction_->setShortcut(QKeySequence::Delete);
    connect(removeAction_, &QAction::triggered, this, &MainWindow::remove);
    syncInfoAction_ =
        new QAction(style()->standardIcon(QStyle::SP_DialogApplyButton), "Show Sync Info", this);
    syncInfoAction_->setCheckable(true);
    connect(syncInfoAction_, &QAction::triggered, this, &MainWindow::syncInfo);
    syncMapAction_ =
        new QAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView), "Sync Map", this);
    connect(syncMapAction_, &QAction::triggered, this, &MainWindow::showSyncMap);
    exportXMLAction_ = new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                   "Export XML / FCPXML...", this);
    exportXMLAction_->setShortcut(QKeySequence("Ctrl+E"));
    connect(exportXMLAction_, &QAction::triggered, this, &MainWindow::exportXMLInBackground);
    exportAAFAction_ = new QAction("Export AAF...", this);
    connect(exportAAFAction_, &QAction::triggered, this, &MainWindow::exportAAFInBackground);
    exportMoviesAction_ = new QAction("Export Movies...", this);
    connect(exportMoviesAction_, &QAction::triggered, this, &MainWindow::exportMoviesInBackground);
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(addAction_);
    file->addAction(removeAction_);
    file->addSeparator();
    file->addAction(exportXMLAction_);
    file->addAction(exportAAFAction_);
    file->addAction(exportMoviesAction_);
    file->addSeparator();
    file->addAction("Quit", QKeySequence::Quit, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction("Select Video Files", this, [this] { controller_->selectVideoFiles(); });
    edit->addAction("Select Audio Files", this, [this] { controller_->selectAudioFiles(); });
    edit->addSeparator();
    edit->addAction("Settings...", this, &MainWindow::settingsActivateSheet);

    QMenu* view = menuBar()->addMenu("&View");
    view->addAction("Zoom Normal", QKeySequence("Ctrl+0"), timeline_, &TimelineView::zoomNormal);
    view->addAction("Zoom to Fit", QKeySequence("Shift+Z"), timeline_, &TimelineView::zoomToFit);
    view->addAction("Zoom In", QKeySequence::ZoomIn, timeline_, &TimelineView::zoomIn);
    view->addAction("Zoom Out", QKeySequence::ZoomOut, timeline_, &TimelineView::zoomOut);

    QMenu* sync = menuBar()->addMenu("&Sync");
    sync->addAction(syncInfoAction_);
    sync->addAction(syncMapAction_);
    sync->addSeparator();
    sync->addAction("Read Audio Timecode...", this, &MainWindow::readTimecodeActivateSheet);
    sync->addAction("AV Shift...", this, &MainWindow::avShiftActivateSheet);
    sync->addAction("Offset...", this, &MainWindow::offsetActivateSheet);
    sync->addSeparator();
    sync->addAction("Sync Source: File Timecode", this,
                    [this] { controller_->manualSyncSource(false); });
    sync->addAction("Sync Source: Audio Timecode", this,
                    [this] { controller_->manualSyncSource(true); });
    sync->addAction("New Sync Group", this, [this] { controller_->createNewSyncGroup(); });
    QMenu* groups = sync->addMenu("Set Sync Group");
    for (int group = 1; group <= 9; ++group) {
        QAction* action = groups->addAction(QString("Group %1").arg(group));
        connect(action, &QAction::triggered, this,
                [this, action] { controller_->setSyncGroup(action->text().toStdString()); });
    }
    sync->addSeparator();
    sync->addAction("Show in File Manager", this, &MainWindow::showInFileManager);
    sync->addAction("Show Info", QKeySequence("Ctrl+I"), this, &MainWindow::showInfo);

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("Check for Updates...", this, &MainWindow::manualUpdateCheck);
    help->addAction("About Vorlane Studio", this, [this] {
        QMessageBox::about(this, "Vorlane Studio",
                           QString::fromStdString(MainWindowController::windowTitle()) +
                               "\nSynchronises picture and sound by timecode.");
    });
}

void MainWindow::startUpdateCheck() {
    updateChecker_->check(UpdateCheck::Mode::Automatic);
}

void MainWindow::manualUpdateCheck() {
    updateChecker_->check(UpdateCheck::Mode::Manual);
}

void MainWindow::buildToolBar() {
    QToolBar* bar = addToolBar("Main");
    bar->setObjectName("mainToolBar");
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(addAction_);
    bar->addAction(removeAction_);
    bar->addSeparator();
    bar->addAction(syncInfoAction_);
    bar->addAction(syncMapAction_);
    bar->addSeparator();
    keepCameraAudio_ = new QCheckBox("Keep Camera Audio");
    multicam_ = new QCheckBox("Multicam");
    bar->addWidget(keepCameraAudio_);
    bar->addWidget(multicam_);
    bar->addSeparator();
    bar->addAction(exportXMLAction_);
    bar->addAction(exportAAFAction_);
    bar->addAction(exportMoviesAction_);
}

void MainWindow::selectClickedRowAlone(const QPoint& position) {
    const QModelIndex index = table_->indexAt(position);
    if (!index.isValid()) return;
    selectRows({size_t(proxy_->mapToSource(index).row())});
}

void MainWindow::showContextMenu(const QPoint& position) {
    selectClickedRowAlone(position);
    QMenu menu(this);
    menu.addAction("Play", this, [this] { controller_->doubleClickSelect(std::nullopt); });
    menu.addAction("Show Info", this, &MainWindow::showInfo);
    menu.addAction("Show in File Manager", this, &MainWindow::showInFileManager);
    menu.addSeparator();
    menu.addAction("Offset...", this, &MainWindow::offsetActivateSheet);
    menu.addAction("AV Shift...", this, &MainWindow::avShiftActivateSheet);
    menu.addAction("Read Audio Timecode...", this, &MainWindow::readTimecodeActivateSheet);
    menu.addAction("Sync Source: File Timecode", this,
                   [this] { controller_->manualSyncSource(false); });
    menu.addAction("Sync Source: Audio Timecode", this,
                   [this] { controller_->manualSyncSource(true); });
    menu.addAction("New Sync Group", this, [this] { controller_->createNewSyncGroup(); });
    menu.addSeparator();
    menu.addAction(removeAction_);
    menu.exec(table_->viewport()->mapToGlobal(position));
}

void MainWindow::selectionChanged() {
    if (infoPanel_->isVisible()) showInfo();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            controller_->doubleClickSelect(std::nullopt);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// Commands

void MainWindow::addPaths(const QStringList& paths) {
    std::vector<std::filesystem::path> urls;
    for (const QString& path : paths)
        urls.emplace_back(path.toStdString());
    if (urls.empty()) return;
    statusBar()->showMessage("Reading files...");
    controller_->addInBackground(
        std::move(urls), [this](const ApplicationController::AddResult& result) {
            QStringList failures;
            for (const auto& skipped : result.skipped)
                failures << QString("%1: %2").arg(
                    QString::fromStdString(skipped.path.filename().string()),
                    QString::fromStdString(skipped.reason));
            QString message = QString("%1 file(s) added").arg(result.added.size());
            if (!failures.isEmpty()) message += QString(", %1 left out").arg(failures.size());
            statusBar()->showMessage(message);
            statusBar()->setToolTip(failures.join("\n"));
        });
}

void MainWindow::addPathsFromArguments(const QStringList& arguments) {
    QStringList paths;
    for (const QString& argument : arguments)
        if (!argument.startsWith('-')) paths << argument;
    addPaths(paths);
}

void MainWindow::add() {
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, "Add File(s)", QString(), kAddFilter);
    addPaths(paths);
}

void MainWindow::remove() {
    controller_->remove();
}

void MainWindow::syncInfo() {
    // The action shows the state once the pass is done.
    syncInfoAction_->setChecked(controller_->syncInfoShown());
    controller_->syncInfo();
}

void MainWindow::showSyncMap() {
    controller_->showSyncMap();
}

void MainWindow::showInFileManager() {
    QStringList paths;
    for (const auto& file : controller_->selectedFiles())
        paths << QString::fromStdString(file->sourceURLPath().string());
    DesktopSession::revealFiles(paths);
}

void MainWindow::readTimecodeActivateSheet() {
    const auto files = controller_->selectedFiles();
    readAudioTcDialog_->showForFiles(files.size(), [this](const AudioTimecodeRequest& request) {
        controller_->readAudioTimecodeOfSelection(request);
    });
}

void MainWindow::settingsActivateSheet() {
    settingsDialog_->showSettings();
}

void MainWindow::avShiftActivateSheet() {
    avShiftDialog_->activateWithMediaFiles(controller_->selectedFiles());
}

void MainWindow::offsetActivateSheet() {
    offsetDialog_->activateWithMediaFiles(controller_->selectedFiles());
}

void MainWindow::showInfo() {
    const auto info = controller_->infoForSelection();
    if (!info) return;
    infoPanel_->setWindowTitle(QString::fromStdString(info->title));
    infoText_->setPlainText(QString::fromStdString(info->text));
    infoPanel_->show();
    infoPanel_->raise();
}

// Exports

void MainWindow::runExport(const QString& title, std::function<void()> run) {
    waitForExport();
    progress_->startWithTitle(title.toStdString(), true);
    exportRunning_ = true;
    exportThread_ = std::thread([this, run = std::move(run)] {
        run();
        exportRunning_ = false;
        QMetaObject::invokeMethod(
            this, [] { QApplication::beep(); }, Qt::QueuedConnection);
    });
}

void MainWindow::waitForExport() {
    if (exportThread_.joinable()) exportThread_.join();
}

void MainWindow::exportXMLInBackground() {
    if (exportRunning_) return;
    ExportCommands(application_.mediaPool()).preselectOptions(xmlExportDialog_->xmlOptions());
    xmlExportDialog_->showDialog([this](const std::filesystem::path& destination) {
        const XMLExportOptionsController options = xmlExportDialog_->xmlOptions();
        runExport("XML Export", [this, destination, options] {
            ExportCommands(application_.mediaPool()).exportXML(destination, options, *progress_);
        });
    });
}

void MainWindow::exportAAFInBackground() {
    if (exportRunning_) return;
    ExportCommands(application_.mediaPool()).preselectOptions(aafExportDialog_->aafOptions());
    aafExportDialog_->showDialog([this](const std::filesystem::path& destination) {
        const AAFExportOptionsController options = aafExportDialog_->aafOptions();
        runExport("AAF Export", [this, destination, options] {
            ExportCommands(application_.mediaPool()).exportAAF(destination, options, *progress_);
        });
    });
}

void MainWindow::exportMoviesInBackground() {
    if (exportRunning_) return;
    movieExportDialog_->showDialog([this](const std::filesystem::path& folder) {
        const MediaExportOptionsController options = movieExportDialog_->options();
        const bool synchronized = options.synchronizedMovieExport();
        application_.mediaPool().enumerateSyncGroups();
        runExport(synchronized ? "Synchronized Movie Export" : "Embed Timecode Export",
                  [this, folder, options, synchronized] {
                      MovieExportRun run(application_.mediaPool(), *progress_,
                                         ExportCommands::logHeader(defaults_));
                      if (synchronized)
                          run.exportMovies(folder, options);
                      else
                          run.exportTimecode(folder, options);
                  });
    });
}

// Window events

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exportRunning_) {
        const auto answer = QMessageBox::question(
            this, "Export running", "An export is still running. Quit when it has ended?",
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    waitForExport();
    event->accept();
}

bool MainWindow::acceptsDrop(const QMimeData& data) {
    if (!data.hasUrls()) return false;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile()) return true;
    return false;
}

bool MainWindow::dropMimeData(const QMimeData& data) {
    QStringList paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return false;
    addPaths(paths);
    return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrop(*event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (dropMimeData(*event->mimeData())) event->acceptProposedAction();
}

}  // namespace vorlane::gui
