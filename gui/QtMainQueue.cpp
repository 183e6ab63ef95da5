#include "QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "platform/MainQueue.h"

namespace vorlane::gui {

QtMainQueue::QtMainQueue() {
    MainQueue::setDispatcher([](MainQueue::Task task) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                  Qt::QueuedConnection);
    });
}

QtMainQueue::~QtMainQueue() {
    MainQueue::setDispatcher({});
}

}  // namespace vorlane::gui
