#include "upThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace upThreadDetail {

struct OwnerFlags
{
    std::atomic<bool> handleExceptions{true};
    std::atomic<bool> destroying{false};
};

struct PendingCall
{
    enum class Stage { Queued, Running, Done };

    std::shared_ptr<ThreadState> state;
    std::function<void()> routine;
    std::exception_ptr captured;
    Stage stage = Stage::Queued; // guarded by state->mutex
    bool ran = false;
};

struct ThreadState
{
    std::mutex mutex; // guards everything below that is not atomic, and cv
    std::condition_variable cv;
    // Held by the worker around effects that must not follow a stop; abandonment
    // takes it, so it waits for such an effect to end.
    std::mutex gate;

    std::atomic<bool> abandoned{false};
    std::atomic<bool> running{false};
    std::atomic<bool> terminated{false};
    std::atomic<bool> finished{false};
    bool started = false;
    int suspendCount = 1;
    bool freeOnTerminate = false;
    int returnValue = 0;
    int priorityValue = 0;
    pid_t tid = 0;
    std::exception_ptr fatal;
    std::shared_ptr<PendingCall> call;

    TupEventThread::ExecuteHandler onExecute;
    TupEventThread::ExceptionHandler onException;
    TupEventThread::FinishHandler onFinish;

    std::shared_ptr<OwnerFlags> owner;
    TupEventThread *object = nullptr; // read and written on the GUI thread only
};

} // namespace upThreadDetail

using namespace upThreadDetail;

namespace {

const int priorityValues[] = {-15, -2, -1, 0, 1, 2, 15};
// What each priority asks of the Linux scheduler. Raising a thread above the normal
// level needs privileges; without them the request fails and the value is kept.
const int niceValues[] = {19, 10, 5, 0, -5, -10, -20};

class HiddenWindow : public QObject
{
public:
    static QEvent::Type callEventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

protected:
    bool event(QEvent *event) override;
};

struct Global
{
    // Guards the window pointer, the object count, the call queue and the list of
    // abandoned workers.
    std::mutex mutex;
    std::condition_variable cv;
    HiddenWindow *window = nullptr;
    int count = 0;
    std::deque<std::shared_ptr<PendingCall>> calls;
    struct Abandoned
    {
        std::thread thread;
        std::shared_ptr<ThreadState> state;
    };
    std::vector<Abandoned> abandoned;

    ~Global()
    {
        // Workers left at exit have been abandoned and end on their own soon.
        std::vector<Abandoned> left;
        {
            std::lock_guard lock(mutex);
            left.swap(abandoned);
        }
        for (auto &worker : left) {
            if (worker.thread.joinable())
                worker.thread.join();
        }
    }
};

Global &global()
{
    static Global instance;
    return instance;
}

bool onGuiThread()
{
    auto *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void applyNice(pid_t tid, int priorityValue)
{
    if (tid == 0)
        return;
    const int index = TupEventThread::valueToPriority(priorityValue);
    // Failure (no privilege to raise a thread) leaves the scheduler as it was.
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), niceValues[index]);
}

// Runs every queued main-thread call. GUI thread only.
void drainCalls()
{
    auto &g = global();
    for (;;) {
        std::shared_ptr<PendingCall> call;
        {
            std::lock_guard lock(g.mutex);
            if (g.calls.empty())
                return;
            call = std::move(g.calls.front());
            g.calls.pop_front();
        }
        auto &state = *call->state;
        {
            std::lock_guard lock(state.mutex);
            if (call->stage != PendingCall::Stage::Queued)
                continue;
            if (state.abandoned || state.owner->destroying) {
                call->stage = PendingCall::Stage::Done;
                state.cv.notify_all();
                continue;
            }
            call->stage = PendingCall::Stage::Running;
        }
        std::exception_ptr captured;
        try {
            call->routine();
        } catch (...) {
            captured = std::current_exception();
        }
        {
            std::lock_guard lock(state.mutex);
            call->captured = captured;
            call->ran = true;
            call->stage = PendingCall::Stage::Done;
            state.cv.notify_all();
        }
    }
}

bool HiddenWindow::event(QEvent *event)
{
    if (event->type() == callEventType()) {
        drainCalls();
        return true;
    }
    return QObject::event(event);
}

void addThreadObject()
{
    auto &g = global();
    std::lock_guard lock(g.mutex);
    if (g.count == 0 && !g.window) {
        g.window = new HiddenWindow;
        g.window->setObjectName(QStringLiteral("TupThreadWindow"));
        if (auto *app = QCoreApplication::instance(); app && g.window->thread() != app->thread())
            g.window->moveToThread(app->thread());
    }
    ++g.count;
}

void removeThreadObject()
{
    auto &g = global();
    std::lock_guard lock(g.mutex);
    --g.count;
    if (g.count == 0 && g.window) {
        // Removed by a queued step, so a thread object created before it runs keeps
        // the window (and the calls already posted to it) alive.
        QMetaObject::invokeMethod(
            g.window,
            [] {
                auto &g = global();
                std::lock_guard lock(g.mutex);
                if (g.count == 0 && g.window) {
                    g.window->deleteLater();
                    g.window = nullptr;
                }
            },
            Qt::QueuedConnection);
    }
}

void postCall(const std::shared_ptr<PendingCall> &call)
{
    auto &g = global();
    std::lock_guard lock(g.mutex);
    g.calls.push_back(call);
    if (g.window)
        QCoreApplication::postEvent(g.window, new QEvent(HiddenWindow::callEventType()));
    g.cv.notify_all();
}

void notifyFinished(ThreadState &state)
{
    state.finished = true;
    {
        std::lock_guard lock(state.mutex);
        state.cv.notify_all();
    }
    auto &g = global();
    std::lock_guard lock(g.mutex);
    g.cv.notify_all();
}

void runFinishStep(ThreadState &state, const TupEventThread::FinishHandler &onFinish,
                   const TupEventThread::ExceptionHandler &onException)
{
    if (!onFinish || state.owner->destroying)
        return;
    try {
        onFinish();
    } catch (...) {
        if (!state.owner->handleExceptions)
            throw;
        if (onException && !state.owner->destroying)
            onException(std::current_exception());
    }
}

void threadMain(std::shared_ptr<ThreadState> state)
{
    TupEventThread::ExecuteHandler onExecute;
    TupEventThread::ExceptionHandler onException;
    TupEventThread::FinishHandler onFinish;
    {
        std::lock_guard lock(state->mutex);
        state->tid = gettid();
        applyNice(state->tid, state->priorityValue);
        onExecute = state->onExecute;
        onException = state->onException;
        onFinish = state->onFinish;
    }
    TupWorker worker(state);

    if (onExecute && !state->owner->destroying && !state->abandoned) {
        try {
            onExecute(worker);
        } catch (const TupWorkerAbandoned &) {
        } catch (...) {
            const auto error = std::current_exception();
            if (state->owner->handleExceptions) {
                if (onException && !state->owner->destroying)
                    worker.callOnMainThread([&] { onException(error); });
            } else {
                std::lock_guard lock(state->mutex);
                state->fatal = error;
            }
        }
    }

    bool freeOnTerminate;
    {
        std::lock_guard lock(state->mutex);
        freeOnTerminate = state->freeOnTerminate;
    }
    state->running = false;

    if (onFinish) {
        try {
            worker.callOnMainThread([&] { runFinishStep(*state, onFinish, onException); });
        } catch (...) {
            std::lock_guard lock(state->mutex);
            state->fatal = std::current_exception();
        }
    }

    notifyFinished(*state);
    if (freeOnTerminate && !state->abandoned) {
        auto &g = global();
        std::lock_guard lock(g.mutex);
        if (g.window) {
            QMetaObject::invokeMethod(
                g.window,
                [state] {
                    if (state->object && !state->abandoned)
                        delete state->object;
                },
                Qt::QueuedConnection);
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------------

TupWorker::TupWorker(std::shared_ptr<ThreadState> state)
    : m_state(std::move(state))
{
}

bool TupWorker::callOnMainThread(const std::function<void()> &routine)
{
    checkpoint();
    auto call = std::make_shared<PendingCall>();
    call->state = m_state;
    call->routine = routine;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->abandoned)
            return false;
        m_state->call = call;
    }
    postCall(call);
    {
        std::unique_lock lock(m_state->mutex);
        m_state->cv.wait(lock, [&] { return call->stage == PendingCall::Stage::Done; });
        m_state->call.reset();
    }
    if (!call->ran)
        return false;
    if (call->captured && !m_state->owner->handleExceptions)
        std::rethrow_exception(call->captured);
    return true;
}

bool TupWorker::abandoned() const
{
    return m_state->abandoned;
}

bool TupWorker::terminated() const
{
    return m_state->terminated;
}

bool TupWorker::runUnlessAbandoned(const std::function<void()> &action)
{
    std::lock_guard gate(m_state->gate);
    if (m_state->abandoned)
        return false;
    action();
    return true;
}

void TupWorker::checkpoint()
{
    std::unique_lock lock(m_state->mutex);
    m_state->cv.wait(lock, [&] { return m_state->suspendCount == 0 || m_state->abandoned; });
}

// ---------------------------------------------------------------------------------

TupEventThread::TupEventThread(TupCustomThread *owner)
    : m_owner(owner)
    , m_state(std::make_shared<ThreadState>())
{
    addThreadObject();
    m_state->owner = owner ? owner->m_flags : std::make_shared<OwnerFlags>();
    m_state->object = this;
}

TupEventThread::~TupEventThread()
{
    if (Running() && !Suspended() && !m_state->abandoned) {
        Terminate();
        WaitFor();
    } else if (m_thread.joinable() && !m_state->finished) {
        abandon();
    }
    m_state->object = nullptr;
    if (m_thread.joinable()) {
        if (m_state->abandoned && !m_state->finished) {
            auto &g = global();
            std::lock_guard lock(g.mutex);
            g.abandoned.push_back({std::move(m_thread), m_state});
        } else {
            m_thread.join();
        }
    }
    removeThreadObject();
    joinAbandonedWorkers(std::chrono::milliseconds(0));
}

bool TupEventThread::Terminated() const
{
    return m_state->terminated;
}

bool TupEventThread::Suspended() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->suspendCount > 0;
}

bool TupEventThread::Running() const
{
    return m_state->running;
}

bool TupEventThread::FreeOnTerminate() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->freeOnTerminate;
}

void TupEventThread::setFreeOnTerminate(bool value)
{
    std::lock_guard lock(m_state->mutex);
    m_state->freeOnTerminate = value;
}

int TupEventThread::ReturnValue() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->returnValue;
}

void TupEventThread::setReturnValue(int value)
{
    std::lock_guard lock(m_state->mutex);
    m_state->returnValue = value;
}

std::exception_ptr TupEventThread::FatalException() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->fatal;
}

void TupEventThread::Suspend()
{
    std::lock_guard lock(m_state->mutex);
    ++m_state->suspendCount;
}

void TupEventThread::Resume()
{
    bool start = false;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->suspendCount == 0)
            return;
        if (--m_state->suspendCount == 0) {
            if (!m_state->started) {
                m_state->started = true;
                // Busy from this moment, so nobody can slip a second start in before
                // the new thread has got going.
                m_state->running = true;
                start = true;
            }
            m_state->cv.notify_all();
        }
    }
    if (start)
        startOsThread();
}

void TupEventThread::startOsThread()
{
    m_thread = std::thread(threadMain, m_state);
}

void TupEventThread::Terminate()
{
    m_state->terminated = true;
}

int TupEventThread::WaitFor()
{
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->started)
            return m_state->returnValue;
    }
    if (onGuiThread()) {
        auto &g = global();
        for (;;) {
            drainCalls();
            std::unique_lock lock(g.mutex);
            g.cv.wait(lock, [&] { return !g.calls.empty() || m_state->finished; });
            if (m_state->finished && g.calls.empty())
                break;
        }
    } else {
        std::unique_lock lock(m_state->mutex);
        m_state->cv.wait(lock, [&] { return m_state->finished.load(); });
    }
    return ReturnValue();
}

int TupEventThread::priorityToValue(TThreadPriority priority)
{
    return priorityValues[std::clamp(static_cast<int>(priority), 0, 6)];
}

TThreadPriority TupEventThread::valueToPriority(int value)
{
    const auto *found = std::find(std::begin(priorityValues), std::end(priorityValues), value);
    if (found == std::end(priorityValues))
        return tpNormal;
    return static_cast<TThreadPriority>(found - std::begin(priorityValues));
}

TThreadPriority TupEventThread::Priority() const
{
    return valueToPriority(priorityValue());
}

void TupEventThread::setPriority(TThreadPriority priority)
{
    setPriorityValue(priorityToValue(priority));
}

int TupEventThread::priorityValue() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->priorityValue;
}

void TupEventThread::setPriorityValue(int value)
{
    std::lock_guard lock(m_state->mutex);
    m_state->priorityValue = value;
    if (m_state->started && !m_state->finished)
        applyNice(m_state->tid, value);
}

void TupEventThread::setOnExecute(ExecuteHandler handler)
{
    std::lock_guard lock(m_state->mutex);
    m_state->onExecute = std::move(handler);
}

void TupEventThread::setOnException(ExceptionHandler handler)
{
    std::lock_guard lock(m_state->mutex);
    m_state->onException = std::move(handler);
}

void TupEventThread::setOnFinish(FinishHandler handler)
{
    std::lock_guard lock(m_state->mutex);
    m_state->onFinish = std::move(handler);
}

void TupEventThread::abandon()
{
    std::lock_guard gate(m_state->gate);
    std::lock_guard lock(m_state->mutex);
    m_state->abandoned = true;
    m_state->terminated = true;
    // A call that has not started is dropped; one whose routine runs right now (it
    // may be the very routine that stops this thread) ends normally.
    if (m_state->call && m_state->call->stage == PendingCall::Stage::Queued)
        m_state->call->stage = PendingCall::Stage::Done;
    m_state->cv.notify_all();
}

TupEventThread *TupEventThread::Replace()
{
    auto *replacement = new TupEventThread(m_owner);
    {
        std::lock_guard lock(m_state->mutex);
        std::lock_guard other(replacement->m_state->mutex);
        replacement->m_state->priorityValue = m_state->priorityValue;
        replacement->m_state->onExecute = m_state->onExecute;
        replacement->m_state->onException = m_state->onException;
        replacement->m_state->onFinish = m_state->onFinish;
    }
    abandon();
    delete this;
    return replacement;
}

TupWorker TupEventThread::worker() const
{
    return TupWorker(m_state);
}

QObject *TupEventThread::hiddenWindow()
{
    auto &g = global();
    std::lock_guard lock(g.mutex);
    return g.window;
}

int TupEventThread::livingCount()
{
    auto &g = global();
    std::lock_guard lock(g.mutex);
    return g.count;
}

int TupEventThread::pendingMainThreadCalls()
{
    auto &g = global();
    std::lock_guard lock(g.mutex);
    int pending = 0;
    for (const auto &call : g.calls) {
        std::lock_guard callLock(call->state->mutex);
        if (call->stage == PendingCall::Stage::Queued)
            ++pending;
    }
    return pending;
}

bool TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto &g = global();
    for (;;) {
        std::vector<std::thread> ended;
        bool left;
        {
            std::lock_guard lock(g.mutex);
            auto split = std::partition(g.abandoned.begin(), g.abandoned.end(),
                                        [](const Global::Abandoned &w) { return !w.state->finished; });
            for (auto it = split; it != g.abandoned.end(); ++it)
                ended.push_back(std::move(it->thread));
            g.abandoned.erase(split, g.abandoned.end());
            left = !g.abandoned.empty();
        }
        for (auto &thread : ended)
            thread.join();
        if (!left)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// ---------------------------------------------------------------------------------

TupCustomThread::TupCustomThread(QObject *owner)
    : QObject(owner)
    , m_flags(std::make_shared<OwnerFlags>())
{
    m_thread = new TupEventThread(this);
}

TupCustomThread::~TupCustomThread()
{
    if (m_thread) {
        m_thread->abandon();
        delete m_thread.data();
    }
}

TupEventThread *TupCustomThread::currentThread()
{
    // A thread object that freed itself (FreeOnTerminate) is succeeded by a fresh one.
    if (!m_thread)
        m_thread = new TupEventThread(this);
    return m_thread;
}

void TupCustomThread::Loaded()
{
    auto *thread = currentThread();
    if (StartSuspended != thread->Suspended()) {
        if (StartSuspended)
            thread->Suspend();
        else
            thread->Resume();
    }
}

bool TupCustomThread::Start()
{
    m_thread = currentThread()->Replace();
    m_thread->Resume();
    return true;
}

bool TupCustomThread::Busy() const
{
    return m_thread && m_thread->Running();
}

void TupCustomThread::Stop()
{
    m_thread = currentThread()->Replace();
}

bool TupCustomThread::HandleExceptions() const
{
    return m_flags->handleExceptions;
}

void TupCustomThread::setHandleExceptions(bool value)
{
    m_flags->handleExceptions = value;
}

TThreadPriority TupCustomThread::Priority() const
{
    return m_thread ? m_thread->Priority() : tpNormal;
}

void TupCustomThread::setPriority(TThreadPriority priority)
{
    currentThread()->setPriority(priority);
}

void TupCustomThread::setOnExecute(TupEventThread::ExecuteHandler handler)
{
    currentThread()->setOnExecute(std::move(handler));
}

void TupCustomThread::setOnException(TupEventThread::ExceptionHandler handler)
{
    currentThread()->setOnException(std::move(handler));
}

void TupCustomThread::setOnFinish(TupEventThread::FinishHandler handler)
{
    currentThread()->setOnFinish(std::move(handler));
}

void TupCustomThread::beginOwnerDestruction()
{
    m_flags->destroying = true;
    if (m_thread)
        m_thread->abandon();
}

bool TupCustomThread::ownerDestroying() const
{
    return m_flags->destroying;
}
