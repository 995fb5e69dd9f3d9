#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

// Worker threads for the upgrade transfers and the hand-off of work to the GUI thread.
//
// A TupEventThread runs one routine once on its own operating-system thread. A
// TupCustomThread owns the current TupEventThread and replaces it for every run.
// The worker asks the GUI thread to run code for it with a main-thread call: a
// blocking hand-off to a hidden object of the GUI thread.
//
// Ending a worker is cooperative. A replaced (or stopped) worker is abandoned: every
// main-thread call it is waiting in or makes later is skipped, its finish step never
// runs, and the worker's code is expected to return soon (TupWorker::abandoned()).
// The GUI thread never waits for an abandoned worker; the process joins such workers
// when it ends.

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TupCustomThread;
class TupEventThread;

namespace upThreadDetail {
struct ThreadState;
struct OwnerFlags;
}

// Thrown by worker code to unwind quickly once it finds itself abandoned; the thread
// function ends quietly on it.
class TupWorkerAbandoned : public std::exception
{
public:
    const char *what() const noexcept override { return "worker abandoned"; }
};

// The worker's view of its own thread object. It stays valid when the thread object
// has been replaced and freed, so a worker may always ask whether it was abandoned.
class TupWorker
{
public:
    explicit TupWorker(std::shared_ptr<upThreadDetail::ThreadState> state);

    // Runs routine on the GUI thread and waits for it. Returns false, without running
    // it, when the worker has been abandoned or its owner is being destroyed. An
    // exception of the routine is raised again here only when the owner's
    // HandleExceptions is false.
    bool callOnMainThread(const std::function<void()> &routine);

    // True once the thread object has been replaced, stopped or freed; the worker
    // should return without touching its former owner.
    bool abandoned() const;
    bool terminated() const;

    // Runs action unless the worker has been abandoned, and keeps the worker from
    // being abandoned while it runs; returns whether it ran. Use it for effects that
    // must not happen after a stop (writing the output file, worker-side
    // notifications). The action must not wait for the GUI thread.
    bool runUnlessAbandoned(const std::function<void()> &action);

    // A point where a suspended worker pauses until it is resumed or abandoned.
    void checkpoint();

private:
    std::shared_ptr<upThreadDetail::ThreadState> m_state;
};

class TupEventThread : public QObject
{
    Q_OBJECT

public:
    using ExecuteHandler = std::function<void(TupWorker &worker)>;
    using ExceptionHandler = std::function<void(const std::exception_ptr &error)>;
    using FinishHandler = std::function<void()>;

    // Created suspended: the operating-system thread starts with the first Resume
    // that brings the suspend count to 0.
    explicit TupEventThread(TupCustomThread *owner);
    // A running, unsuspended, not abandoned thread is terminated and waited for
    // (WaitFor); an abandoned one is left to finish on its own.
    ~TupEventThread() override;

    TupCustomThread *owner() const { return m_owner; }

    bool Terminated() const;
    bool Suspended() const;
    bool Running() const;
    bool FreeOnTerminate() const;
    void setFreeOnTerminate(bool value);
    int ReturnValue() const;
    void setReturnValue(int value);
    // An exception that escaped the execute handler while HandleExceptions was false.
    std::exception_ptr FatalException() const;

    // Suspend adds to the suspend count; a worker that already runs pauses at its next
    // checkpoint (every main-thread call is one). Resume takes one off, and the last
    // one starts the thread or lets it go on.
    void Suspend();
    void Resume();
    void Terminate();
    // Waits until the thread function has ended and returns ReturnValue. On the GUI
    // thread the wait keeps serving main-thread calls, so a worker blocked in one
    // cannot deadlock it. A thread that was never started has nothing to wait for.
    int WaitFor();

    TThreadPriority Priority() const;
    void setPriority(TThreadPriority priority);
    // The scheduling value behind Priority (-15, -2, -1, 0, 1, 2, 15); any other value
    // reads as tpNormal.
    int priorityValue() const;
    void setPriorityValue(int value);

    void setOnExecute(ExecuteHandler handler);
    void setOnException(ExceptionHandler handler);
    void setOnFinish(FinishHandler handler);

    // Ends this thread without waiting for it (it is abandoned), creates a new object
    // for the same owner with the same priority and handlers, frees this one and
    // returns the new one.
    TupEventThread *Replace();

    // The worker handle of this thread (for code outside the execute handler).
    TupWorker worker() const;

    // The hidden object of the GUI thread; it exists while thread objects exist and
    // is removed by a queued step after the last one has gone.
    static QObject *hiddenWindow();
    static int livingCount();
    // Main-thread calls that workers have queued and the GUI thread has not taken up.
    static int pendingMainThreadCalls();
    // Joins the abandoned workers that have ended within timeout; true when none is
    // left running.
    static bool joinAbandonedWorkers(std::chrono::milliseconds timeout);

    static int priorityToValue(TThreadPriority priority);
    static TThreadPriority valueToPriority(int value);

private:
    friend class TupCustomThread;
    void startOsThread();
    void abandon();

    TupCustomThread *m_owner;
    std::shared_ptr<upThreadDetail::ThreadState> m_state;
    std::thread m_thread;
};

class TupCustomThread : public QObject
{
    Q_OBJECT

public:
    explicit TupCustomThread(QObject *owner = nullptr);
    ~TupCustomThread() override;

    // Applies StartSuspended to the thread object (after the owner's settings are in place).
    void Loaded();
    // Replaces the thread object (the previous one is ended and freed, whether it ran
    // or not) and resumes the new one. Always true.
    bool Start();
    bool Busy() const;
    // Replaces the thread object; a running worker is abandoned.
    void Stop();

    TupEventThread *Thread() { return currentThread(); }

    bool StartSuspended = true;
    bool HandleExceptions() const;
    void setHandleExceptions(bool value);

    TThreadPriority Priority() const;
    void setPriority(TThreadPriority priority);

    void setOnExecute(TupEventThread::ExecuteHandler handler);
    void setOnException(TupEventThread::ExceptionHandler handler);
    void setOnFinish(TupEventThread::FinishHandler handler);

    // Called by the owner first thing in its destructor: from then on no main-thread
    // call and no handler reaches it, and a running worker is abandoned.
    void beginOwnerDestruction();
    bool ownerDestroying() const;

private:
    friend class TupEventThread;
    TupEventThread *currentThread();

    std::shared_ptr<upThreadDetail::OwnerFlags> m_flags;
    QPointer<TupEventThread> m_thread;
};
