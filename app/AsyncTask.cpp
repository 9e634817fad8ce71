#include "app/AsyncTask.h"

#include "platform/ProgressHud.h"

#include <QThread>
#include <QWidget>

namespace {
std::atomic<int> g_running{0};
} // namespace

std::shared_ptr<AsyncTask> AsyncTask::create(QWidget* view)
{
    return std::shared_ptr<AsyncTask>(new AsyncTask(view));
}

AsyncTask::AsyncTask(QWidget* view) : m_parentView(view)
{
    Q_ASSERT(view);
    m_hud = new platform::ProgressHud(view);
    m_hudGuard = m_hud;
    m_hud->setHudWasHidden([this](platform::ProgressHud*) { hudWasHidden(); });
}

AsyncTask::~AsyncTask()
{
    // A task that never ran still has its hidden display over the view.
    // (After execute the last reference is dropped on the main thread.)
    if (!m_executed && m_hudGuard)
        delete m_hud;
}

platform::ProgressHud* AsyncTask::getHud() const
{
    return m_hud;
}

int AsyncTask::runningTaskCount()
{
    return g_running.load();
}

void AsyncTask::execute(Step preTask, Step mainTask, Step postTask)
{
    Q_ASSERT(QThread::currentThread() == m_hud->thread());
    Q_ASSERT(!m_executed);
    Q_ASSERT(mainTask);
    if (m_executed || !m_hudGuard)
        return;
    m_executed = true;
    m_self = shared_from_this();
    ++g_running;
    // Should the view (and with it the display) be destroyed while the main
    // step runs, the task still ends, without its completion step: the
    // screen it would report to is gone.
    QObject::connect(m_hud, &QObject::destroyed, [weak = weak_from_this()] {
        if (auto task = weak.lock(); task && task->m_self) {
            task->m_postTask = nullptr;
            task->end();
        }
    });
    m_hud->raise();
    m_postTask = std::move(postTask);
    if (preTask)
        preTask(this);
    // The worker holds a reference of its own: the task outlives its main
    // step whatever becomes of the display.
    m_hud->showWhileExecuting([self = m_self, main = std::move(mainTask)] { main(self.get()); }, true);
}

void AsyncTask::hudWasHidden()
{
    if (!m_self)
        return;
    // Kept alive to the end of this call even though end() drops the task's
    // own reference.
    const std::shared_ptr<AsyncTask> keep = m_self;
    if (m_postTask) {
        const Step post = std::move(m_postTask);
        post(this);
    }
    if (m_hudGuard)
        m_hud->deleteLater();
    end();
}

void AsyncTask::end()
{
    if (!m_self)
        return;
    --g_running;
    m_self.reset();
}
