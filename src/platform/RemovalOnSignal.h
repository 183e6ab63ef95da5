// Files that must not outlive an interrupted run: while a RemovalOnSignal lives, SIGINT, SIGTERM
// or SIGHUP first removes its path (a file, or an empty folder) and then ends the program with
// that signal as before. The handler only calls async-signal-safe functions on a fixed table of
// paths, so it may interrupt anything.
#pragma once

#include <filesystem>

namespace vorlane {

class RemovalOnSignal {
  public:
    // Installs the handler for every one of the three signals whose disposition is still the
    // default (a signal the caller ignores or handles stays as it is). Call once, early.
    static void installHandlers();

    // Lists the path; a path longer than the table takes (PATH_MAX) is not listed.
    explicit RemovalOnSignal(const std::filesystem::path& path);
    ~RemovalOnSignal();
    RemovalOnSignal(const RemovalOnSignal&) = delete;
    RemovalOnSignal& operator=(const RemovalOnSignal&) = delete;

  private:
    int slot_ = -1;
};

}  // namespace vorlane
