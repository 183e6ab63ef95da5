// Hands the tasks of the application's main queue to Qt's event loop while it exists.
#pragma once

namespace vorlane::gui {

class QtMainQueue {
  public:
    QtMainQueue();
    ~QtMainQueue();
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;
};

}  // namespace vorlane::gui
