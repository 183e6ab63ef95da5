// Operations and operation queues on std::thread: the analysis queue of the media pool (serial),
// the per-file sync-information work of the shell (concurrent), the export runs.
//
// An operation runs once. Cancelling it before it starts skips its work; cancelling it while it
// runs only sets the flag, which long work checks through isCancelled(). Either way its
// completion action then runs (on the thread that ran the operation) and the operation counts as
// finished only afterwards.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vorlane {

class Operation {
  public:
    Operation() = default;
    virtual ~Operation() = default;
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    bool isExecuting() const;
    bool isFinished() const;

    // Runs after the work, or instead of it when the operation was cancelled before starting.
    void setCompletionBlock(std::function<void()> completion);
    void waitUntilFinished() const;

    // Runs the operation on the calling thread: `main` unless cancelled, then the completion
    // action. Queues call it; a second call does nothing.
    void start();

  protected:
    // The work. An exception that escapes it is logged and counts as the end of the work.
    virtual void main() = 0;

  private:
    friend class OperationQueue;
    enum class State { Ready, Executing, Finished };

    std::atomic<bool> cancelled_{false};
    std::atomic<bool> queued_{false};  // an operation joins one queue, once
    mutable std::mutex mutex_;
    mutable std::condition_variable finishedChanged_;
    State state_ = State::Ready;
    std::function<void()> completion_;
};

// An operation whose work is a function.
class BlockOperation : public Operation {
  public:
    explicit BlockOperation(std::function<void()> block) : block_(std::move(block)) {}
    static std::shared_ptr<BlockOperation> blockOperationWithBlock(std::function<void()> block);

  protected:
    void main() override;

  private:
    std::function<void()> block_;
};

class OperationQueue {
  public:
    // As many operations at once as the machine has cores.
    static constexpr int kDefaultMaxConcurrentOperationCount = -1;

    // 1 makes a serial queue: operations run one at a time in the order they were added.
    explicit OperationQueue(int maxConcurrentOperationCount = kDefaultMaxConcurrentOperationCount);
    // Waits until every operation has finished (cancel them first for a quick end).
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    // Operations start in the order they were added, as many at once as allowed. An operation
    // that already joined a queue is not added again.
    void addOperation(std::shared_ptr<Operation> operation);
    std::shared_ptr<Operation> addOperationWithBlock(std::function<void()> block);

    // Cancels every waiting and running operation.
    void cancelAllOperations();
    // Blocks until no operation waits or runs. Never call it from an operation of this queue.
    void waitUntilAllOperationsAreFinished();

    // Waiting and running operations.
    size_t operationCount() const;
    int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);

  private:
    size_t concurrencyLimit() const;
    void startWorkersIfNeeded();
    void workerLoop();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Operation>> waiting_;
    std::vector<std::shared_ptr<Operation>> running_;
    std::vector<std::thread> workers_;
    size_t idleWorkers_ = 0;
    int maxConcurrentOperationCount_;
    bool stopping_ = false;
};

}  // namespace vorlane
