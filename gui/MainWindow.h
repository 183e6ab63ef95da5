// The main window of Vorlane Studio: the file list, the composition area (the player with its
// level meters above the timeline), the menus, the toolbar and the file list's context
// menu. It shows and forwards: every command goes to the MainWindowController of src/app, which
// drives the same application controller as the command line.
#pragma once

#include <QMainWindow>
#include <atomic>
#include <memory>
#include <thread>

#include "DesktopSession.h"
#include "QtAlertPresenter.h"
#include "app/AVShiftPanelController.h"
#include "app/ApplicationController.h"
#include "app/MainWindowController.h"
#include "app/OffsetPanelController.h"
#include "app/ReadAudioTcPanelController.h"
#include "app/URLValidator.h"

class QAction;
class QCheckBox;
class QLabel;
class QMimeData;
class QPlainTextEdit;
class QSortFilterProxyModel;
class QTableView;

namespace vorlane::gui {

class AVShiftDialog;
class ExportDialog;
class FileListModel;
class MovieExportDialog;
class OffsetDialog;
class PlayerView;
class ProgressSheet;
class ReadAudioTcDialog;
class SettingsDialog;
class TimelineView;
class UpdateChecker;

class MainWindow : public QMainWindow, public MainWindowView {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // MainWindowView.
    IndexSet selectedRows() const override;
    void selectRows(const IndexSet& rows) override;
    void reloadFileList() override;
    void setShowVideoSyncGroups(bool on) override;
    void setupPlayerWithComposition(const std::shared_ptr<MediaComposition>& composition,
                                    bool startPlaying, bool zoomNormal) override;
    void setSyncInfoShown(bool shown) override;

    // What a drop or the add dialog hands over.
    void addPaths(const QStringList& paths);
    void addPathsFromArguments(const QStringList& arguments);
    // What the window takes from a drag: local files and folders (the pool decides which of
    // their files it reads).
    static bool acceptsDrop(const QMimeData& data);
    bool dropMimeData(const QMimeData& data);

    // For tests and the screenshot script.
    ApplicationController& application() { return application_; }
    MainWindowController& controller() { return *controller_; }
    FileListModel& fileList() { return *model_; }
    QTableView& table() { return *table_; }
    ProgressSheet& progress() { return *progress_; }
    OffsetDialog& offsetDialog() { return *offsetDialog_; }
    AVShiftDialog& avShiftDialog() { return *avShiftDialog_; }
    SettingsDialog& settingsDialog() { return *settingsDialog_; }
    ReadAudioTcDialog& readAudioTcDialog() { return *readAudioTcDialog_; }
    ExportDialog& xmlExportDialog() { return *xmlExportDialog_; }
    ExportDialog& aafExportDialog() { return *aafExportDialog_; }
    MovieExportDialog& movieExportDialog() { return *movieExportDialog_; }
    QPlainTextEdit& infoText() { return *infoText_; }
    TimelineView& timelineView() { return *timeline_; }
    PlayerView& playerView() { return *playerView_; }
    bool exportRunning() const { return exportRunning_; }
    // Waits for a running export's thread.
    void waitForExport();

  public slots:
    void add();
    void remove();
    void syncInfo();
    void showSyncMap();
    void showInFileManager();
    void readTimecodeActivateSheet();
    void settingsActivateSheet();
    void avShiftActivateSheet();
    void offsetActivateSheet();
    void showInfo();
    void exportXMLInBackground();
    void exportAAFInBackground();
    void exportMoviesInBackground();
    // The update check: automatic at start (silent unless a new version is announced), manual
    // from the menu.
    void startUpdateCheck();
    void manualUpdateCheck();
    // Scrubbing on the timeline (drag type 1 start, 6 move, 2 end): the player seeks and the
    // play head follows.
    void trackViewPosition(double seconds, int dragType);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildFileList();
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void showContextMenu(const QPoint& position);
    void selectClickedRowAlone(const QPoint& position);
    void selectionChanged();
    void runExport(const QString& title, std::function<void()> run);

    NotificationCenter& center_;
    UserDefaults& defaults_;
    ApplicationController application_;
    QtAlertPresenter alerts_{this};
    URLValidator validator_{alerts_};
    OffsetPanelController offsetPanel_;
    AVShiftPanelController avShiftPanel_;
    ReadAudioTcPanelController readAudioTcPanel_;

    FileListModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QTableView* table_ = nullptr;
    PlayerView* playerView_ = nullptr;
    QLabel* compositionTitle_ = nullptr;
    TimelineView* timeline_ = nullptr;
    ProgressSheet* progress_ = nullptr;
    OffsetDialog* offsetDialog_ = nullptr;
    AVShiftDialog* avShiftDialog_ = nullptr;
    ReadAudioTcDialog* readAudioTcDialog_ = nullptr;
    SettingsDialog* settingsDialog_ = nullptr;
    ExportDialog* xmlExportDialog_ = nullptr;
    ExportDialog* aafExportDialog_ = nullptr;
    MovieExportDialog* movieExportDialog_ = nullptr;
    QWidget* infoPanel_ = nullptr;
    UpdateChecker* updateChecker_ = nullptr;
    QPlainTextEdit* infoText_ = nullptr;
    QCheckBox* keepCameraAudio_ = nullptr;
    QCheckBox* multicam_ = nullptr;

    QAction* addAction_ = nullptr;
    QAction* removeAction_ = nullptr;
    QAction* syncInfoAction_ = nullptr;
    QAction* syncMapAction_ = nullptr;
    QAction* exportXMLAction_ = nullptr;
    QAction* exportAAFAction_ = nullptr;
    QAction* exportMoviesAction_ = nullptr;

    std::unique_ptr<MainWindowController> controller_;
    std::vector<NotificationCenter::ObserverToken> observers_;
    DesktopSession desktop_;
    std::thread exportThread_;
    std::atomic<bool> exportRunning_{false};
};

}  // namespace vorlane::gui
