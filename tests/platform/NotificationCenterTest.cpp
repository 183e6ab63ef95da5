#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;

TEST(MainQueueTest, TasksFromOtherThreadsRunOnTheMainThreadInTheirOrder) {
    ASSERT_TRUE(MainQueue::isMainThread());
    std::vector<int> order;
    std::atomic<bool> allOnMain = true;
    std::thread worker([&] {
        EXPECT_FALSE(MainQueue::isMainThread());
        for (int i = 0; i < 100; ++i) {
            MainQueue::async([&, i] {
                allOnMain = allOnMain && MainQueue::isMainThread();
                order.push_back(i);
            });
        }
    });
    worker.join();
    EXPECT_EQ(MainQueue::drain(), 100u);
    EXPECT_TRUE(allOnMain);
    ASSERT_EQ(order.size(), 100u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(MainQueue::drain(), 0u);
}

TEST(MainQueueTest, SyncFromAWorkerWaitsForTheMainThread) {
    std::atomic<bool> workerDone = false;
    int value = 0;
    std::thread worker([&] {
        MainQueue::sync([&] { value = MainQueue::isMainThread() ? 42 : -1; });
        EXPECT_EQ(value, 42) << "the task has run when sync returns";
        workerDone = true;
    });
    EXPECT_TRUE(MainQueue::runUntil([&] { return workerDone.load(); }, 10s));
    worker.join();

    MainQueue::sync([&] { value = 7; });  // on the main thread: at once
    EXPECT_EQ(value, 7);
}

TEST(MainQueueTest, RunReturnsAfterStopAndRunUntilHonoursItsTimeout) {
    std::thread worker([] {
        MainQueue::async([] {});
        MainQueue::async([] { MainQueue::stop(); });
    });
    MainQueue::run();
    worker.join();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MainQueue::runUntil([] { return false; }, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

TEST(MainQueueTest, AnotherEventLoopTakesOverThroughTheDispatcher) {
    MainQueue::async([] {});  // waiting in the built-in list: handed over
    std::vector<MainQueue::Task> handedOver;
    MainQueue::setDispatcher([&](MainQueue::Task task) { handedOver.push_back(std::move(task)); });
    int ran = 0;
    MainQueue::async([&] { ++ran; });
    MainQueue::setDispatcher({});
    EXPECT_EQ(MainQueue::drain(), 0u);
    ASSERT_EQ(handedOver.size(), 2u);
    for (auto& task : handedOver)
        task();
    EXPECT_EQ(ran, 1);
}

TEST(NotificationCenterTest, PostsFromWorkersAreDeliveredOnTheMainQueue) {
    NotificationCenter center;
    std::vector<double> percents;
    bool onMain = true;
    center.addObserverForName("AnalyzingUpdated", [&](const Notification& notification) {
        onMain = onMain && MainQueue::isMainThread();
        percents.push_back(std::any_cast<double>(notification.object));
    });
    std::thread worker([&] {
        for (int i = 1; i <= 3; ++i)
            center.postNotificationName("AnalyzingUpdated", 25.0 * i);
    });
    worker.join();
    EXPECT_TRUE(percents.empty()) << "nothing is delivered outside the main queue";
    MainQueue::drain();
    EXPECT_EQ(percents, (std::vector<double>{25.0, 50.0, 75.0}));
    EXPECT_TRUE(onMain);
}

TEST(NotificationCenterTest, ObserversSeeTheirNamesOnlyUntilRemoved) {
    NotificationCenter center;
    std::vector<std::string> seen;
    const auto named = center.addObserverForName(
        "UpdateMediaFile", [&](const Notification& n) { seen.push_back("named:" + n.name); });
    center.addObserverForName("", [&](const Notification& n) { seen.push_back("all:" + n.name); });
    center.postNotificationName("UpdateMediaFile");  // on the main thread: delivered at once
    center.postNotificationName("ReloadTableView");
    center.removeObserver(named);
    center.postNotificationName("UpdateMediaFile");
    EXPECT_EQ(seen, (std::vector<std::string>{"named:UpdateMediaFile", "all:UpdateMediaFile",
                                              "all:ReloadTableView", "all:UpdateMediaFile"}));
}

TEST(NotificationCenterTest, AnObserverRemovedByAnEarlierOneIsNotCalled) {
    NotificationCenter center;
    int secondCalls = 0;
    NotificationCenter::ObserverToken second = 0;
    center.addObserverForName("X", [&](const Notification&) { center.removeObserver(second); });
    second = center.addObserverForName("X", [&](const Notification&) { ++secondCalls; });
    center.postNotificationName("X");
    EXPECT_EQ(secondCalls, 0);
}

TEST(NotificationCenterTest, ADeliveryOutlivingItsCentreDoesNothing) {
    int calls = 0;
    {
        auto center = std::make_unique<NotificationCenter>();
        center->addObserverForName("X", [&](const Notification&) { ++calls; });
        std::thread([&] { center->postNotificationName("X"); }).join();
    }
    EXPECT_EQ(MainQueue::drain(), 1u);
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace vorlane
