#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace platform {

namespace {
QObject* mainObject()
{
    return QCoreApplication::instance();
}
} // namespace

bool isMainThread()
{
    QObject* app = mainObject();
    return app && QThread::currentThread() == app->thread();
}

void performOnMainThread(std::function<void()> work, bool waitUntilDone, QObject* context)
{
    QObject* app = mainObject();
    Q_ASSERT(app);
    if (!app || !work)
        return;
    if (waitUntilDone && isMainThread()) {
        work();
        return;
    }
    QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    auto run = [guard, guarded, work = std::move(work)] {
        if (!guarded || guard)
            work();
    };
    QMetaObject::invokeMethod(app, std::move(run),
                              waitUntilDone ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void performAfterDelay(double seconds, std::function<void()> work, QObject* context)
{
    const int ms = seconds > 0 ? int(std::lround(seconds * 1000.0)) : 0;
    QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    // The timer is made on the main thread, where an event loop runs.
    performOnMainThread([ms, guard, guarded, work = std::move(work)]() mutable {
        if (guarded && !guard)
            return;
        QTimer::singleShot(ms, guarded ? guard.data() : mainObject(), std::move(work));
    });
}

} // namespace platform
