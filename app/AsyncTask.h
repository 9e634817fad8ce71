// The background task runner: an optional preparation step on the main
// thread, a main step on a worker thread of its own while a modal progress
// display covers the calling screen, and a completion step back on the main
// thread. A task keeps itself alive until it ends, so the caller may drop
// its reference right after execute(); it runs exactly once.
#pragma once

#include <QPointer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
namespace platform { class ProgressHud; }

class AsyncTask : public std::enable_shared_from_this<AsyncTask> {
public:
    using Step = std::function<void(AsyncTask*)>;

    // initWithView: the display is created for view and shown over it.
    static std::shared_ptr<AsyncTask> create(QWidget* view);
    ~AsyncTask();

    // preTask and postTask may be empty. Main thread only.
    void execute(Step preTask, Step mainTask, Step postTask);

    // The display, so that a step can set its label, mode and progress
    // (callable from the worker thread).
    platform::ProgressHud* getHud() const;

    int32_t param1() const { return m_param1.load(); }
    int32_t param2() const { return m_param2.load(); }
    int32_t param3() const { return m_param3.load(); }
    void setParam1(int32_t v) { m_param1.store(v); }
    void setParam2(int32_t v) { m_param2.store(v); }
    void setParam3(int32_t v) { m_param3.store(v); }

    // The tasks that have started and not yet ended (for tests, and for
    // callers that must never start a second one).
    static int runningTaskCount();

private:
    explicit AsyncTask(QWidget* view);
    // hudWasHidden: the completion step, then the display goes and the task ends.
    void hudWasHidden();
    void end();

    std::atomic<int32_t> m_param1{0};
    std::atomic<int32_t> m_param2{0};
    std::atomic<int32_t> m_param3{0};
    QPointer<QWidget> m_parentView;
    // Owned by the parent view once created; gone with it if that view is
    // destroyed first.
    platform::ProgressHud* m_hud = nullptr;
    QPointer<platform::ProgressHud> m_hudGuard;
    Step m_postTask;
    std::shared_ptr<AsyncTask> m_self;
    bool m_executed = false;
};
