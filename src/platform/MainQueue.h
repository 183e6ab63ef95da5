// The main queue: the front end's event loop, on which the user interface works and every
// notification is delivered. Any thread may enqueue work; it runs in order on the main thread.
//
// By default the queue is a plain list that the main thread works off itself (the `vorlane`
// command runs `run`/`runUntil` while it waits for background work). A front end with its own
// event loop installs a dispatcher instead (the GUI hands every task to Qt's loop); `async`
// then only forwards to it.
//
// The main thread is the thread that started the program.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace vorlane {

class MainQueue {
  public:
    using Task = std::function<void()>;
    // Hands a task to another event loop, which must run it on the main thread.
    using Dispatcher = std::function<void(Task)>;

    static bool isMainThread();

    // Runs the task on the main thread later, after the tasks enqueued before it.
    static void async(Task task);
    // Runs the task on the main thread and waits for it; on the main thread it runs at once.
    // A worker that calls this while the main thread waits for that worker deadlocks.
    static void sync(const Task& task);

    // Installs (or, with an empty function, removes) the dispatcher of another event loop.
    // Tasks already in the built-in list are handed over.
    static void setDispatcher(Dispatcher dispatcher);

    // The built-in loop, on the main thread only:
    // runs the tasks enqueued so far and answers how many ran;
    static size_t drain();
    // runs tasks as they come until `stop` is called (from any thread or a task);
    static void run();
    static void stop();
    // runs tasks as they come until `done` answers true (checked after each task and whenever
    // the loop wakes) or the timeout passes; answers `done()`.
    static bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
};

}  // namespace vorlane
