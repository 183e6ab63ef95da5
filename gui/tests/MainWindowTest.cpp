// Vorlane Studio's window without a display: the demo shoot dropped onto it, its rows, sync
// information, the panels, an offset, and an FCPXML export through the export dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTableView>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "AVShiftDialog.h"
#include "ExportDialog.h"
#include "FileListModel.h"
#include "MainWindow.h"
#include "MovieExportDialog.h"
#include "OffsetDialog.h"
#include "ProgressSheet.h"
#include "QtAlertPresenter.h"
#include "QtMainQueue.h"
#include "ReadAudioTcDialog.h"
#include "SettingsDialog.h"
#include "StudioTestSupport.h"
#include "TestPaths.h"
#include "TimelineView.h"
#include "mediagen/DemoShoot.h"
#include "platform/DefaultsKeys.h"
#include "platform/UserDefaults.h"

namespace vorlane::gui {
namespace {

namespace fs = std::filesystem;

TEST_F(StudioTest, DemoShootRowsSyncInfoOffsetAndPanels) {
    EXPECT_TRUE(window->windowTitle().startsWith("Vorlane Studio "));
    loadShoot();
    const auto plan = mediagen::demoShootPlan(*shoot);
    EXPECT_EQ(window->fileList().rowCount(), int(window->application().mediaPool().count()));
    for (const auto& file : plan.files) {
        if (!file.hasPicture()) continue;
        const int row = rowNamed(*window, QString::fromStdString(file.name));
        ASSERT_GE(row, 0) << file.name << " among " << window->fileList().rowCount()
                          << " rows, first "
                          << cell(*window, 0, FileListModel::NameColumn).toStdString();
        EXPECT_EQ(cell(*window, row, FileListModel::TimecodeColumn).toStdString(),
                  file.start.text())
            << file.name;
    }

    // Sync information: every camera clip of the day has a recorder file beside it.
    window->syncInfo();
    ASSERT_TRUE(waitUntil([&] { return window->controller().syncInfoShown(); }));
    waitUntil([] { return false; }, 200);
    const int camera = rowNamed(*window, "A001_C001.mov");
    EXPECT_TRUE(cell(*window, camera, FileListModel::SyncInfoColumn).startsWith("synced"))
        << cell(*window, camera, FileListModel::SyncInfoColumn).toStdString();
    window->syncInfo();
    ASSERT_TRUE(waitUntil([&] { return !window->controller().syncInfoShown(); }));
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(cell(*window, camera, FileListModel::SyncInfoColumn).isEmpty());

    // Double click: the synced composition's tracks are shown.
    window->controller().doubleClickSelect(size_t(camera));
    EXPECT_FALSE(window->timelineView().lanes().empty());

    // An offset of two seconds moves the row's timecode.
    window->selectRows({size_t(camera)});
    window->offsetActivateSheet();
    ASSERT_TRUE(window->offsetDialog().isVisible());
    auto* seconds = window->offsetDialog().findChild<QDoubleSpinBox*>("offsetSeconds");
    ASSERT_TRUE(seconds);
    seconds->setValue(2.0);
    window->offsetDialog().offsetSet();
    QCoreApplication::processEvents();
    EXPECT_EQ(cell(*window, camera, FileListModel::TimecodeColumn), "10:00:04:00");

    // The other sheets open over the window and close again.
    window->avShiftActivateSheet();
    EXPECT_TRUE(window->avShiftDialog().isVisible());
    window->avShiftDialog().reject();
    window->readTimecodeActivateSheet();
    EXPECT_TRUE(window->readAudioTcDialog().isVisible());
    window->readAudioTcDialog().reject();
    window->settingsActivateSheet();
    EXPECT_TRUE(window->settingsDialog().isVisible());
    EXPECT_TRUE(window->settingsDialog().controlForKey("muteAudioTimecode"));
    window->settingsDialog().reject();
    window->showInfo();
    EXPECT_TRUE(window->infoText().toPlainText().contains("A001_C001.mov"));
}

TEST_F(StudioTest, FCPXMLExportThroughTheDialogIsDTDValid) {
    loadShoot();
    const fs::path out = fs::temp_directory_path() / ("vorlane-studio-" + std::to_string(getpid()));
    fs::create_directories(out);
    window->exportXMLInBackground();
    ExportDialog& dialog = window->xmlExportDialog();
    ASSERT_TRUE(dialog.isVisible());
    auto* type = dialog.findChild<QComboBox*>("xmlType");
    ASSERT_TRUE(type);
    type->setCurrentIndex(2);
    emit type->activated(2);  // FCPXML 1.7

    // A destination that cannot be written: the validator warns, "Cancel" keeps the dialog.
    std::vector<Alert> alerts;
    QtAlertPresenter::setAnswerForTesting([&](const Alert& alert) {
        alerts.push_back(alert);
        return alert.cancelButton;
    });
    dialog.setDestination("/nonexistent-vorlane-folder/day.fcpxml");
    dialog.accept();
    QtAlertPresenter::setAnswerForTesting({});
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Selected destination may not be writable");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(window->exportRunning());
    dialog.setDestination(QString::fromStdString((out / "day").string()));
    dialog.accept();
    ASSERT_TRUE(waitUntil([&] { return !window->exportRunning(); }));
    ASSERT_TRUE(waitUntil([&] { return window->progress().buttonTitle() == "Ok"; }));
    const fs::path written = out / "day.fcpxml";
    ASSERT_TRUE(fs::exists(written));
    EXPECT_TRUE(window->progress().logText().contains("FCPX XML 1.7 Export started"));
    window->progress().cancelOKAction();
    EXPECT_FALSE(window->progress().isVisible());

    const fs::path dtd = fs::path(VORLANE_SOURCE_DIR).parent_path() / "shared/dtd/FCPXMLv1_7.dtd";
    if (!fs::exists(dtd)) {
        fs::remove_all(out);
        GTEST_SKIP() << "no FCPXML 1.7 DTD at " << dtd;
    }
    QProcess xmllint;
    xmllint.start("xmllint", {"--noout", "--dtdvalid", QString::fromStdString(dtd.string()),
                              QString::fromStdString(written.string())});
    ASSERT_TRUE(xmllint.waitForFinished(60000)) << "xmllint did not run";
    EXPECT_EQ(xmllint.exitCode(), 0) << xmllint.readAllStandardError().toStdString();
    fs::remove_all(out);
}

TEST_F(StudioTest, AAFExportThroughTheDialog) {
    loadShoot();
    const fs::path out = fs::temp_directory_path() / ("vorlane-aaf-" + std::to_string(getpid()));
    fs::create_directories(out);
    window->exportAAFInBackground();
    ExportDialog& dialog = window->aafExportDialog();
    ASSERT_TRUE(dialog.isVisible());
    dialog.setDestination(QString::fromStdString((out / "day.aaf").string()));
    dialog.accept();
    ASSERT_TRUE(waitUntil([&] { return !window->exportRunning(); }));
    ASSERT_TRUE(waitUntil([&] { return window->progress().buttonTitle() == "Ok"; }));
    EXPECT_TRUE(window->progress().logText().contains("AAF Export (AMA) started"));
    EXPECT_TRUE(fs::exists(out / "day.aaf"));
    window->progress().cancelOKAction();
    fs::remove_all(out);
}

TEST_F(StudioTest, SynchronizedMoviesThroughTheDialog) {
    loadShoot();
    const fs::path out = fs::temp_directory_path() / ("vorlane-movies-" + std::to_string(getpid()));
    fs::create_directories(out);
    window->exportMoviesInBackground();
    MovieExportDialog& dialog = window->movieExportDialog();
    ASSERT_TRUE(dialog.isVisible());
    // Every check runs for a folder; a small scratch disk only warns, "Continue" goes on.
    QtAlertPresenter::setAnswerForTesting([](const Alert& alert) { return alert.defaultButton; });
    dialog.setDestination(QString::fromStdString(out.string()));
    dialog.accept();
    QtAlertPresenter::setAnswerForTesting({});
    ASSERT_TRUE(waitUntil([&] { return !window->exportRunning(); }));
    ASSERT_TRUE(waitUntil([&] { return window->progress().buttonTitle() == "Ok"; }));
    EXPECT_TRUE(window->progress().logText().contains("Synchronized Movie Export ended"));
    EXPECT_TRUE(fs::exists(out / "vorlane_log.txt"));
    EXPECT_TRUE(fs::exists(out / "A001_C001.mov")) << window->progress().logText().toStdString();
    window->progress().cancelOKAction();
    fs::remove_all(out);
}

TEST_F(StudioTest, CancellingAnalysisHalfWayKeepsTheListAndPool) {
    const fs::path copy =
        fs::temp_directory_path() / ("vorlane-cancel-" + std::to_string(getpid()));
    fs::create_directories(copy);
    for (const auto& entry : fs::directory_iterator(*shoot))
        if (entry.path().extension() != ".txt")
            fs::copy_file(entry.path(), copy / entry.path().filename());
    drop(*window, copy);
    // A file vanishes while the others are analysed.
    fs::remove(copy / "SC12_T02.WAV");
    ASSERT_TRUE(waitUntil([&] { return window->progress().isVisible(); }, 60000));
    window->progress().cancelOKAction();
    EXPECT_EQ(window->progress().statusText(), "cancelling...");
    ASSERT_TRUE(waitUntil([&] {
        return !window->controller().adding() &&
               !window->application().mediaPool().hasPendingAnalysis();
    }));
    ASSERT_TRUE(waitUntil([&] { return !window->progress().isVisible(); }));
    EXPECT_EQ(window->fileList().rowCount(), int(window->application().mediaPool().count()));
    fs::remove_all(copy);
}

TEST_F(StudioTest, FolderOfNonMediaFilesAddsNothing) {
    const fs::path folder =
        fs::temp_directory_path() / ("vorlane-junk-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "notes.txt") << "not media";
    std::ofstream(folder / "broken.mov") << "moov? no";
    drop(*window, folder);
    ASSERT_TRUE(waitUntil([&] {
        return !window->controller().adding() &&
               !window->application().mediaPool().hasPendingAnalysis();
    }));
    waitUntil([&] { return !window->progress().isVisible(); }, 5000);
    EXPECT_LE(window->fileList().rowCount(), 1);
    fs::remove_all(folder);
}

// The update check reads a file:// announcement through the network layer and answers in the
// message box; a missing one fails with a message when asked for, silently at start.
TEST(StudioUpdateCheckTest, ManualCheckReadsAnAnnouncementFile) {
    const fs::path announcement =
        fs::temp_directory_path() / ("vorlane-update-" + std::to_string(getpid()) + ".json");
    std::ofstream(announcement)
        << R"({"version": 9.5, "description": "New.", "url": "https://example.org/"})";
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(announcement.string()));
    MainWindow window;  // writes the standard defaults at first start
    defaults.setString(url.toString().toStdString(), DefaultsKey::updateAnnouncementURL);
    std::vector<std::string> shown;
    QtAlertPresenter::setAnswerForTesting([&](const Alert& alert) {
        shown.push_back(alert.messageText);
        return alert.cancelButton;
    });
    window.manualUpdateCheck();
    ASSERT_TRUE(waitUntil([&] { return shown.size() == 1; }, 10000));
    EXPECT_EQ(shown[0], "Version 9.50 of Vorlane Studio is available!");
    EXPECT_DOUBLE_EQ(defaults.doubleForKey(DefaultsKey::updateSuppressionVersion), 9.5);

    fs::remove(announcement);
    window.startUpdateCheck();
    window.manualUpdateCheck();
    ASSERT_TRUE(waitUntil([&] { return shown.size() >= 2; }, 10000));
    waitUntil([] { return false; }, 300);
    QtAlertPresenter::setAnswerForTesting({});
    defaults.setString("", DefaultsKey::updateAnnouncementURL);
    ASSERT_EQ(shown.size(), 2u) << "the automatic check stays silent";
    EXPECT_EQ(shown[1], "The update check failed");
}

}  // namespace
}  // namespace vorlane::gui

int main(int argc, char** argv) {
    // Settings of a fresh user, so that first start writes the standard defaults.
    const auto config = std::filesystem::temp_directory_path() /
                        ("vorlane-studio-config-" + std::to_string(getpid()));
    std::filesystem::create_directories(config);
    setenv("VORLANE_CONFIG_DIR", config.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    vorlane::gui::QtMainQueue mainQueue;
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::filesystem::remove_all(config);
    return status;
}
