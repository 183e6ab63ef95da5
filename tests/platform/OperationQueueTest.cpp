#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <vector>

#include "platform/Log.h"
#include "platform/OperationQueue.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;

// Counts how many operations run at the same time.
struct Concurrency {
    std::atomic<int> now = 0;
    std::atomic<int> highest = 0;
    void enter() {
        const int current = ++now;
        int seen = highest;
        while (current > seen && !highest.compare_exchange_weak(seen, current)) {
        }
    }
    void leave() { --now; }
};

TEST(OperationQueueTest, ASerialQueueRunsOneAtATimeInOrder) {
    OperationQueue queue(1);
    Concurrency concurrency;
    std::vector<int> order;
    for (int i = 0; i < 50; ++i) {
        queue.addOperationWithBlock([&, i] {
            concurrency.enter();
            order.push_back(i);
            std::this_thread::sleep_for(100us);
            concurrency.leave();
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(concurrency.highest, 1);
    ASSERT_EQ(order.size(), 50u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueueTest, AConcurrentQueueKeepsToItsLimit) {
    OperationQueue queue(3);
    Concurrency concurrency;
    for (int i = 0; i < 12; ++i) {
        queue.addOperationWithBlock([&] {
            concurrency.enter();
            std::this_thread::sleep_for(20ms);
            concurrency.leave();
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_LE(concurrency.highest, 3);
    EXPECT_GE(concurrency.highest, 2) << "sleeping operations overlap";
}

TEST(OperationQueueTest, CancellingSkipsWaitingWorkButRunsEveryCompletion) {
    OperationQueue queue(1);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> worked = 0;
    std::atomic<int> completed = 0;
    std::vector<std::shared_ptr<Operation>> operations;
    operations.push_back(queue.addOperationWithBlock([&] {
        released.wait();
        ++worked;
    }));
    for (int i = 0; i < 5; ++i)
        operations.push_back(queue.addOperationWithBlock([&] { ++worked; }));
    for (const auto& operation : operations)
        operation->setCompletionBlock([&] { ++completed; });
    while (!operations.front()->isExecuting())
        std::this_thread::sleep_for(1ms);

    queue.cancelAllOperations();
    release.set_value();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(worked, 1) << "the running operation finishes its work; the others are skipped";
    EXPECT_EQ(completed, 6) << "completions have run when the wait returns";
    for (const auto& operation : operations) {
        EXPECT_TRUE(operation->isCancelled());
        EXPECT_TRUE(operation->isFinished());
    }
}

// Long work that stops when cancelled, as the analysis operations do.
class PollingOperation : public Operation {
  public:
    std::atomic<bool> started = false;
    std::atomic<bool> sawCancel = false;

  protected:
    void main() override {
        started = true;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!isCancelled() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        sawCancel = isCancelled();
    }
};

TEST(OperationQueueTest, ARunningOperationSeesItsCancellation) {
    OperationQueue queue;
    auto operation = std::make_shared<PollingOperation>();
    queue.addOperation(operation);
    while (!operation->started)
        std::this_thread::sleep_for(1ms);
    operation->cancel();
    operation->waitUntilFinished();
    EXPECT_TRUE(operation->sawCancel);
}

TEST(OperationQueueTest, AnOperationJoinsOneQueueOnce) {
    Log::setStandardErrorEnabled(false);
    OperationQueue first(1);
    OperationQueue second(1);
    std::atomic<int> runs = 0;
    auto operation = BlockOperation::blockOperationWithBlock([&] { ++runs; });
    first.addOperation(operation);
    first.addOperation(operation);
    second.addOperation(operation);
    first.waitUntilAllOperationsAreFinished();
    second.waitUntilAllOperationsAreFinished();
    Log::setStandardErrorEnabled(true);
    EXPECT_EQ(runs, 1);
}

TEST(OperationQueueTest, AnEscapingErrorIsLoggedAndTheQueueGoesOn) {
    std::vector<std::string> lines;
    const int sink = Log::addSink([&](const std::string& line) { lines.push_back(line); });
    Log::setStandardErrorEnabled(false);
    std::atomic<bool> completed = false;
    std::atomic<bool> nextRan = false;
    {
        OperationQueue queue(1);
        queue.addOperationWithBlock([] { throw std::runtime_error("broken container"); })
            ->setCompletionBlock([&] { completed = true; });
        queue.addOperationWithBlock([&] { nextRan = true; });
    }  // the destructor waits for both
    Log::setStandardErrorEnabled(true);
    Log::removeSink(sink);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(nextRan);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("broken container"), std::string::npos);
}

TEST(OperationQueueTest, RaisingTheLimitStartsWaitingOperations) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> started = 0;
    OperationQueue queue(1);  // destroyed first: it waits for the operations
    for (int i = 0; i < 3; ++i) {
        queue.addOperationWithBlock([&] {
            ++started;
            released.wait();
        });
    }
    while (started < 1)
        std::this_thread::sleep_for(1ms);
    queue.setMaxConcurrentOperationCount(3);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (started < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(started, 3);
    EXPECT_EQ(queue.operationCount(), 3u);
    release.set_value();
}

}  // namespace
}  // namespace vorlane
