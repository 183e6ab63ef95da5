#include "platform/MainQueue.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

namespace vorlane {
namespace {

// Initialised while the program starts, before main(), on the thread that runs main().
const std::thread::id kMainThread = std::this_thread::get_id();

struct QueueState {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<MainQueue::Task> tasks;
    MainQueue::Dispatcher dispatcher;
    bool stopRequested = false;
};

QueueState& state() {
    static QueueState instance;
    return instance;
}

// Takes the next task, waiting until `deadline` (forever without one); nothing when none came
// in time or, with `stopWakes`, when a stop was requested.
std::optional<MainQueue::Task> nextTask(
    std::optional<std::chrono::steady_clock::time_point> deadline, bool stopWakes) {
    QueueState& queue = state();
    std::unique_lock lock(queue.mutex);
    const auto ready = [&] { return !queue.tasks.empty() || (stopWakes && queue.stopRequested); };
    if (deadline)
        queue.wake.wait_until(lock, *deadline, ready);
    else
        queue.wake.wait(lock, ready);
    if (queue.tasks.empty()) return std::nullopt;
    MainQueue::Task task = std::move(queue.tasks.front());
    queue.tasks.pop_front();
    return task;
}

}  // namespace

bool MainQueue::isMainThread() {
    return std::this_thread::get_id() == kMainThread;
}

void MainQueue::async(Task task) {
    QueueState& queue = state();
    std::unique_lock lock(queue.mutex);
    if (queue.dispatcher) {
        Dispatcher dispatcher = queue.dispatcher;
        lock.unlock();
        dispatcher(std::move(task));
        return;
    }
    queue.tasks.push_back(std::move(task));
    queue.wake.notify_all();
}

void MainQueue::sync(const Task& task) {
    if (isMainThread()) {
        task();
        return;
    }
    std::promise<void> finished;
    async([&] {
        task();
        finished.set_value();
    });
    finished.get_future().wait();
}

void MainQueue::setDispatcher(Dispatcher dispatcher) {
    QueueState& queue = state();
    std::deque<Task> waiting;
    {
        std::lock_guard lock(queue.mutex);
        queue.dispatcher = std::move(dispatcher);
        if (queue.dispatcher) waiting.swap(queue.tasks);
    }
    for (Task& task : waiting)
        queue.dispatcher(std::move(task));
}

size_t MainQueue::drain() {
    QueueState& queue = state();
    std::deque<Task> tasks;
    {
        std::lock_guard lock(queue.mutex);
        tasks.swap(queue.tasks);
    }
    for (Task& task : tasks)
        task();
    return tasks.size();
}

void MainQueue::run() {
    QueueState& queue = state();
    for (;;) {
        {
            std::lock_guard lock(queue.mutex);
            if (queue.stopRequested) {
                queue.stopRequested = false;
                return;
            }
        }
        if (auto task = nextTask(std::nullopt, true)) (*task)();
    }
}

void MainQueue::stop() {
    QueueState& queue = state();
    std::lock_guard lock(queue.mutex);
    queue.stopRequested = true;
    queue.wake.notify_all();
}

bool MainQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Wake now and then so that a condition changed without a task is noticed too.
        const auto slice =
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10));
        if (auto task = nextTask(slice, false)) (*task)();
    }
    return true;
}

}  // namespace vorlane
