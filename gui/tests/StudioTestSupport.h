// What the widget tests of Vorlane Studio share: waiting on the event loop, the demo shoot made
// by the independent generator, dropping it on the window, and finding rows by file name.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "MainWindow.h"

namespace vorlane::gui {

// Runs the event loop until `done` or the time is up; false when it timed out.
bool waitUntil(const std::function<bool()>& done, int milliseconds = 300000);

// The shoot the engine's tests use, made once by the independent generator.
std::optional<std::filesystem::path> demoShootFolder();

void drop(MainWindow& window, const std::filesystem::path& path);
// The file list's row of the file (model order), -1 when none.
int rowNamed(MainWindow& window, const QString& name);
QString cell(MainWindow& window, int row, int column);

// A shown main window, with the demo shoot at hand.
class StudioTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Drops the shoot on the window and waits until it is analysed.
    void loadShoot();

    std::optional<std::filesystem::path> shoot;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vorlane::gui
