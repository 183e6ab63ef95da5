// The commands of the main window, without a toolkit: start-up and shut-down, adding and
// removing files, the synced composition a double click shows, the sync map, sync information,
// the sync sources and groups of a selection, camera audio and multicam mode, the selection of
// picture or sound files and the information text of a file.
//
// The window (gui/) shows and forwards: it implements MainWindowView for what the commands ask
// of the file list and the player, and calls these operations on the main thread. The one media
// pool belongs to the application controller, which the command line drives the same way.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ApplicationController.h"
#include "app/PreviewPlayerController.h"
#include "media/MediaPool.h"
#include "platform/OperationQueue.h"

namespace vorlane {

class MediaComposition;
class UserDefaults;

// What the commands ask of the window's views. Called on the main thread.
class MainWindowView {
  public:
    virtual ~MainWindowView() = default;
    // The rows selected in the file list (row = index in the pool).
    virtual IndexSet selectedRows() const = 0;
    // Selects exactly these rows and scrolls to the first.
    virtual void selectRows(const IndexSet& rows) = 0;
    virtual void reloadFileList() = 0;
    // Multicam mode numbers picture files in groups of their own.
    virtual void setShowVideoSyncGroups(bool on) = 0;
    // The timeline shows the composition the player was just given (play head at zero), zoomed
    // to normal when asked; the player view takes the keyboard.
    virtual void setupPlayerWithComposition(const std::shared_ptr<MediaComposition>& composition,
                                            bool startPlaying, bool zoomNormal) = 0;
    // The sync-info control shows whether sync information is displayed.
    virtual void setSyncInfoShown(bool shown) = 0;
};

class MainWindowController {
  public:
    struct InfoText {
        std::string title;
        std::string text;
    };

    // `playerEngines` makes the preview player's engines (the composition player without).
    MainWindowController(ApplicationController& application, MainWindowView& view,
                         UserDefaults& defaults,
                         PreviewPlayerController::EngineFactory playerEngines = {});
    // Waits for a running sync-information pass.
    ~MainWindowController();
    MainWindowController(const MainWindowController&) = delete;
    MainWindowController& operator=(const MainWindowController&) = delete;

    // Start-up, before the window exists: empties the application's temporary folder.
    static void applicationWillFinishLaunching();
    // Start-up, once the window exists: writes the standard defaults at first start, takes the
    // check boxes' states from the defaults and shows the empty composition.
    void awakeFromNib();
    // Shut-down: empties the temporary folder again.
    static void applicationWillTerminate();
    // "Vorlane Studio" with the application's version.
    static std::string windowTitle();

    MediaPool& mediaPool() const { return application_.mediaPool(); }
    std::vector<std::shared_ptr<MediaFile>> selectedFiles() const;

    // The check boxes.
    bool keepOriginalAudio() const;
    bool multicam() const;
    void keepCameraAudio(bool on);
    void multicamMode(bool on);

    // Adding (the add dialog and drops) and removing.
    ApplicationController::AddResult add(const std::vector<std::filesystem::path>& paths);
    // The same with the files read on a background thread (the reader choice opens every
    // file): they reach the pool and the list in chunks on the main thread, each chunk analysed
    // at once, so that a drop of thousands of files never holds up the window. `done` gets the
    // whole result on the main thread.
    using AddDone = std::function<void(const ApplicationController::AddResult& result)>;
    std::shared_ptr<Operation> addInBackground(std::vector<std::filesystem::path> paths,
                                               AddDone done);
    // Files are still being read for the pool.
    bool adding() const { return addsRunning_ > 0; }
    void remove();

    // The synced composition of the clicked row, else of the selected row, into the player;
    // nothing without either. `withSender` zooms the timeline to normal.
    void doubleClickSelect(std::optional<size_t> clickedRow, bool withSender = true);
    void showSyncMap();
    // After a change that can alter the composition in the player: the new composition, paused
    // at the time the player had.
    void reloadPlayingComposition();
    const std::shared_ptr<MediaComposition>& playingComposition() const { return playingComp_; }
    PreviewPlayerController& player() { return player_; }

    // Sync information, computed in the background; the answer finishes when all is done.
    std::shared_ptr<Operation> syncInfo();
    std::shared_ptr<Operation> showSyncInfoInBackground();
    std::shared_ptr<Operation> hideSyncInfoInBackground();
    bool syncInfoShown() const { return application_.syncInfo(); }

    // The selection's timecode source: decoded audio timecode or the container's.
    void manualSyncSource(bool audioTimecodeFirst);
    void createNewSyncGroup();
    // The group named by a menu item's title: the title with everything but digits trimmed from
    // both ends, read as a number (0 without digits).
    void setSyncGroup(const std::string& title);
    static uint32_t syncGroupOfTitle(const std::string& title);

    void selectVideoFiles();
    void selectAudioFiles();

    // The information panel's title and text for the first selected file; none without one.
    std::optional<InfoText> infoForSelection() const;

    // Reads audio timecode of the selection with the panel's parameters (in the background).
    std::shared_ptr<Operation> readAudioTimecodeOfSelection(const AudioTimecodeRequest& request);

  private:
    void setPlayingComposition(std::shared_ptr<MediaComposition> composition, bool startPlaying,
                               bool zoomNormal);
    void selectFilesMatching(bool (*matches)(const MediaFile& file));
    void refreshSyncInfoOrList();
    ApplicationController::AddResult addChunked(const std::vector<std::filesystem::path>& paths);

    ApplicationController& application_;
    MainWindowView& view_;
    UserDefaults& defaults_;
    std::shared_ptr<MediaComposition> playingComp_;
    PreviewPlayerController player_;
    // Alive while the controller is: tasks left on the main queue check it.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
    std::atomic<int> addsRunning_{0};
    std::atomic<bool> stopAdding_{false};
    OperationQueue syncInfoQueue_{1};
    OperationQueue addQueue_{1};
};

}  // namespace vorlane
