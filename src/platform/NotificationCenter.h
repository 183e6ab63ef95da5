// The notification centre: named broadcasts ("AnalyzingFinished", "UpdateMediaFile", ...) from
// the model to whoever observes them. Every delivery happens on the main thread (MainQueue):
// a post on the main thread reaches the observers at once, a post from any other thread is
// delivered later by the main queue, in the order of posting.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vorlane {

struct Notification {
    std::string name;
    // The sender or the payload (a std::shared_ptr<MediaFile>, a percent as double, ...);
    // empty when there is none.
    std::any object;
    std::map<std::string, std::any> userInfo;
};

class NotificationCenter {
  public:
    using Observer = std::function<void(const Notification&)>;
    using ObserverToken = uint64_t;

    // The application's centre.
    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Calls `observer` for every notification of that name; an empty name observes all. The
    // token removes the observer again.
    ObserverToken addObserverForName(const std::string& name, Observer observer);
    // After this returns on the main thread, the observer is not called again.
    void removeObserver(ObserverToken token);

    void postNotification(Notification notification);
    void postNotificationName(const std::string& name, std::any object = {},
                              std::map<std::string, std::any> userInfo = {});

  private:
    struct Registration {
        std::string name;
        Observer observer;
    };
    // Shared with deliveries still waiting in the main queue, which outlive a dropped centre.
    struct Observers {
        std::mutex mutex;
        std::map<ObserverToken, Registration> registrations;
        ObserverToken nextToken = 1;
    };

    static void deliver(Observers& observers, const Notification& notification);

    std::shared_ptr<Observers> observers_ = std::make_shared<Observers>();
};

}  // namespace vorlane
