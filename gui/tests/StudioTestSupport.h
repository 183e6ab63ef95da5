// What the widget tests share: the demo shoot made by the independent generator, a window it is
// dropped onto, and waiting for the event loop.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "MainWindow.h"

namespace vorlane::gui {

// Runs the event loop until `done` (false after `milliseconds`).
bool waitUntil(const std::function<bool()>& done, int milliseconds = 300000);
// The shoot the engine's tests use, made once.
std::optional<std::filesystem::path> demoShootFolder();
void drop(MainWindow& window, const std::filesystem::path& path);
// The file list's row of a file name, -1 without one.
int rowNamed(MainWindow& window, const QString& name);
QString cell(MainWindow& window, int row, int column);

// A shown window, and the demo shoot to drop onto it.
class StudioTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Drops the shoot and waits until it is read and analysed.
    void loadShoot();

    std::optional<std::filesystem::path> shoot;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vorlane::gui
