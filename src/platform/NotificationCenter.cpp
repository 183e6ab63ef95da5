#include "platform/NotificationCenter.h"

#include <vector>

#include "platform/MainQueue.h"

namespace vorlane {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserverForName(const std::string& name,
                                                                         Observer observer) {
    std::lock_guard lock(observers_->mutex);
    const ObserverToken token = observers_->nextToken++;
    observers_->registrations.emplace(token, Registration{name, std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::lock_guard lock(observers_->mutex);
    observers_->registrations.erase(token);
}

void NotificationCenter::postNotification(Notification notification) {
    if (MainQueue::isMainThread()) {
        deliver(*observers_, notification);
        return;
    }
    MainQueue::async([weakObservers = std::weak_ptr<Observers>(observers_),
                      shared = std::make_shared<Notification>(std::move(notification))] {
        if (const auto observers = weakObservers.lock()) deliver(*observers, *shared);
    });
}

void NotificationCenter::postNotificationName(const std::string& name, std::any object,
                                              std::map<std::string, std::any> userInfo) {
    postNotification(Notification{name, std::move(object), std::move(userInfo)});
}

void NotificationCenter::deliver(Observers& observers, const Notification& notification) {
    std::vector<ObserverToken> tokens;
    {
        std::lock_guard lock(observers.mutex);
        for (const auto& [token, registration] : observers.registrations) {
            if (registration.name.empty() || registration.name == notification.name)
                tokens.push_back(token);
        }
    }
    // Observers may add or remove observers while they run; one removed meanwhile is skipped.
    for (const ObserverToken token : tokens) {
        Observer observer;
        {
            std::lock_guard lock(observers.mutex);
            const auto found = observers.registrations.find(token);
            if (found == observers.registrations.end()) continue;
            observer = found->second.observer;
        }
        observer(notification);
    }
}

}  // namespace vorlane
