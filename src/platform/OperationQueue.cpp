#include "platform/OperationQueue.h"

#include <algorithm>
#include <exception>

#include "platform/Log.h"

namespace vorlane {

bool Operation::isExecuting() const {
    std::lock_guard lock(mutex_);
    return state_ == State::Executing;
}

bool Operation::isFinished() const {
    std::lock_guard lock(mutex_);
    return state_ == State::Finished;
}

void Operation::setCompletionBlock(std::function<void()> completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}

void Operation::waitUntilFinished() const {
    std::unique_lock lock(mutex_);
    finishedChanged_.wait(lock, [this] { return state_ == State::Finished; });
}

void Operation::start() {
    std::function<void()> completion;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Ready) return;
        state_ = State::Executing;
    }
    if (!isCancelled()) {
        try {
            main();
        } catch (const std::exception& error) {
            Log::writef("Operation: Work ended with an error: %s", error.what());
        } catch (...) {
            Log::write("Operation: Work ended with an unknown error");
        }
    }
    {
        std::lock_guard lock(mutex_);
        completion = std::move(completion_);
    }
    if (completion) completion();
    {
        std::lock_guard lock(mutex_);
        state_ = State::Finished;
    }
    finishedChanged_.notify_all();
}

std::shared_ptr<BlockOperation> BlockOperation::blockOperationWithBlock(
    std::function<void()> block) {
    return std::make_shared<BlockOperation>(std::move(block));
}

void BlockOperation::main() {
    if (block_) block_();
}

OperationQueue::OperationQueue(int maxConcurrentOperationCount)
    : maxConcurrentOperationCount_(maxConcurrentOperationCount) {}

OperationQueue::~OperationQueue() {
    waitUntilAllOperationsAreFinished();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    if (!operation) return;
    if (operation->queued_.exchange(true)) {
        Log::write("OperationQueue: An operation was added to a queue twice; ignored");
        return;
    }
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(operation));
        startWorkersIfNeeded();
    }
    changed_.notify_all();
}

std::shared_ptr<Operation> OperationQueue::addOperationWithBlock(std::function<void()> block) {
    auto operation = BlockOperation::blockOperationWithBlock(std::move(block));
    addOperation(operation);
    return operation;
}

void OperationQueue::cancelAllOperations() {
    std::lock_guard lock(mutex_);
    for (const auto& operation : waiting_)
        operation->cancel();
    for (const auto& operation : running_)
        operation->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && running_.empty(); });
}

size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + running_.size();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(mutex_);
    return maxConcurrentOperationCount_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(mutex_);
        maxConcurrentOperationCount_ = count;
        startWorkersIfNeeded();
    }
    changed_.notify_all();
}

size_t OperationQueue::concurrencyLimit() const {
    if (maxConcurrentOperationCount_ > 0) return size_t(maxConcurrentOperationCount_);
    return std::max(1u, std::thread::hardware_concurrency());
}

void OperationQueue::startWorkersIfNeeded() {
    // Enough workers for the waiting operations, within the limit; idle ones are reused.
    const size_t wanted = std::min(concurrencyLimit(), running_.size() + waiting_.size());
    while (workers_.size() < wanted && idleWorkers_ < waiting_.size()) {
        workers_.emplace_back(&OperationQueue::workerLoop, this);
        ++idleWorkers_;
    }
}

void OperationQueue::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return stopping_ || (!waiting_.empty() && running_.size() < concurrencyLimit());
        });
        if (stopping_) return;
        std::shared_ptr<Operation> operation = std::move(waiting_.front());
        waiting_.pop_front();
        running_.push_back(operation);
        --idleWorkers_;
        lock.unlock();
        operation->start();
        lock.lock();
        running_.erase(std::find(running_.begin(), running_.end(), operation));
        ++idleWorkers_;
        changed_.notify_all();
    }
}

}  // namespace vorlane
