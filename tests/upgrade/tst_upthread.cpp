#include "upThread.h"

#include <QPointer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int timeout = 20000;

bool onGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Waits, without processing events, until a worker has queued a main-thread call.
bool waitUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < timeout / 10; ++i) {
        if (condition())
            return true;
        QThread::msleep(10);
    }
    return condition();
}

} // namespace

class TestUpThread : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QTRY_COMPARE_WITH_TIMEOUT(TupEventThread::hiddenWindow(), static_cast<QObject *>(nullptr), timeout);
    }

    void handlersRunOnTheirThreads()
    {
        TupCustomThread thread;
        QStringList steps;
        std::atomic<bool> executeOnWorker{false};
        thread.setOnExecute([&](TupWorker &) {
            executeOnWorker = !onGuiThread();
            throw std::runtime_error("transfer failed");
        });
        thread.setOnException([&](const std::exception_ptr &error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception &e) {
                steps << QStringLiteral("exception %1 %2").arg(e.what()).arg(onGuiThread());
            }
        });
        thread.setOnFinish([&] { steps << QStringLiteral("finish %1").arg(onGuiThread()); });

        QVERIFY(thread.Start());
        QTRY_COMPARE_WITH_TIMEOUT(steps.size(), 2, timeout);
        QVERIFY(executeOnWorker);
        QCOMPARE(steps, QStringList({"exception transfer failed 1", "finish 1"}));
        QVERIFY(!thread.Busy());
    }

    void exceptionsInMainThreadCalls_data()
    {
        QTest::addColumn<bool>("handleExceptions");
        QTest::newRow("handled: stays on the GUI thread") << true;
        QTest::newRow("not handled: raised again on the worker") << false;
    }

    void exceptionsInMainThreadCalls()
    {
        QFETCH(bool, handleExceptions);
        TupCustomThread thread;
        thread.setHandleExceptions(handleExceptions);
        std::atomic<int> raisedOnWorker{-1};
        std::atomic<bool> exceptionHandlerCalled{false};
        std::atomic<bool> finished{false};
        thread.setOnExecute([&](TupWorker &worker) {
            try {
                worker.callOnMainThread([] { throw std::runtime_error("handler failed"); });
                raisedOnWorker = 0;
            } catch (const std::runtime_error &) {
                raisedOnWorker = 1;
            }
        });
        thread.setOnException([&](const std::exception_ptr &) { exceptionHandlerCalled = true; });
        thread.setOnFinish([&] { finished = true; });
        thread.Start();
        QTRY_VERIFY_WITH_TIMEOUT(finished, timeout);
        QCOMPARE(raisedOnWorker.load(), handleExceptions ? 0 : 1);
        QVERIFY(!exceptionHandlerCalled);
    }

    void unhandledExceptionEndsTheWorkerCleanly()
    {
        TupCustomThread thread;
        thread.setHandleExceptions(false);
        bool exceptionHandlerCalled = false;
        bool finished = false;
        thread.setOnExecute([](TupWorker &) { throw std::runtime_error("escaped"); });
        thread.setOnException([&](const std::exception_ptr &) { exceptionHandlerCalled = true; });
        thread.setOnFinish([&] { finished = true; });
        thread.Start();
        QTRY_VERIFY_WITH_TIMEOUT(finished, timeout);
        QVERIFY(!exceptionHandlerCalled);
        QVERIFY(!thread.Busy());
        QVERIFY(thread.Thread()->FatalException() != nullptr);
    }

    void waitForOnTheGuiThreadServesMainThreadCalls()
    {
        TupEventThread thread(nullptr);
        bool ranOnGui = false;
        thread.setOnExecute([&](TupWorker &worker) {
            worker.callOnMainThread([&] { ranOnGui = onGuiThread(); });
            worker.callOnMainThread([&] { ranOnGui = ranOnGui && onGuiThread(); });
        });
        thread.setReturnValue(7);
        thread.Resume();
        // No event loop runs here: WaitFor itself must serve the worker's calls.
        QCOMPARE(thread.WaitFor(), 7);
        QVERIFY(ranOnGui);
        QVERIFY(!thread.Running());
    }

    void startingAgainAbandonsTheRunningWorker()
    {
        TupCustomThread thread;
        std::atomic<int> runs{0};
        std::atomic<bool> release{false};
        QStringList calls;
        std::atomic<bool> firstSawAbandoned{false};
        thread.setOnExecute([&](TupWorker &worker) {
            const int run = ++runs;
            if (run == 1) {
                while (!release && !worker.abandoned())
                    QThread::msleep(5);
                firstSawAbandoned = worker.abandoned();
            }
            worker.callOnMainThread([&calls, run] { calls << QStringLiteral("call %1").arg(run); });
        });
        thread.setOnFinish([&] { calls << QStringLiteral("finish"); });

        thread.Start();
        QTRY_COMPARE_WITH_TIMEOUT(runs.load(), 1, timeout);
        QVERIFY(thread.Busy());
        thread.Start();
        release = true;
        QTRY_COMPARE_WITH_TIMEOUT(calls, QStringList({"call 2", "finish"}), timeout);
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QCoreApplication::processEvents();
        QCOMPARE(calls, QStringList({"call 2", "finish"}));
        QVERIFY(firstSawAbandoned);
    }

    void ownerDestroyedWhileWorkerWaitsInACall()
    {
        auto owner = std::make_unique<QObject>();
        auto *thread = new TupCustomThread(owner.get());
        std::atomic<bool> posted{false};
        std::atomic<int> callResult{-1};
        bool routineRan = false;
        bool finishRan = false;
        thread->setOnExecute([&](TupWorker &worker) {
            posted = true;
            callResult = worker.callOnMainThread([&] { routineRan = true; }) ? 1 : 0;
        });
        thread->setOnFinish([&] { finishRan = true; });
        thread->Start();
        QVERIFY(waitUntil([&] { return posted && TupEventThread::pendingMainThreadCalls() > 0; }));

        owner.reset();
        QCoreApplication::processEvents();
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QCoreApplication::processEvents();
        QCOMPARE(callResult.load(), 0);
        QVERIFY(!routineRan);
        QVERIFY(!finishRan);
    }

    void hiddenWindowLivesWhileThreadObjectsExist()
    {
        QCOMPARE(TupEventThread::livingCount(), 0);
        auto first = std::make_unique<TupEventThread>(nullptr);
        QPointer<QObject> window = TupEventThread::hiddenWindow();
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("TupThreadWindow"));

        first.reset();
        // The last object has gone, but the removal is queued: an object created
        // before it runs keeps the same window.
        auto second = std::make_unique<TupEventThread>(nullptr);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window);
        QCOMPARE(TupEventThread::hiddenWindow(), window.data());

        second.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!window, timeout);
        QCOMPARE(TupEventThread::hiddenWindow(), static_cast<QObject *>(nullptr));
    }

    void priorityMapping_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("priority");
        QTest::newRow("-15 idle") << -15 << int(tpIdle);
        QTest::newRow("-2 lowest") << -2 << int(tpLowest);
        QTest::newRow("-1 lower") << -1 << int(tpLower);
        QTest::newRow("0 normal") << 0 << int(tpNormal);
        QTest::newRow("1 higher") << 1 << int(tpHigher);
        QTest::newRow("2 highest") << 2 << int(tpHighest);
        QTest::newRow("15 time critical") << 15 << int(tpTimeCritical);
        QTest::newRow("5 is not in the table") << 5 << int(tpNormal);
        QTest::newRow("-3 is not in the table") << -3 << int(tpNormal);
    }

    void priorityMapping()
    {
        QFETCH(int, value);
        QFETCH(int, priority);
        TupEventThread thread(nullptr);
        thread.setPriorityValue(value);
        QCOMPARE(int(thread.Priority()), priority);
        QCOMPARE(thread.priorityValue(), value);
    }

    void priorityReachesTheScheduler_data()
    {
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("nice");
        QTest::newRow("lowest") << int(tpLowest) << 10;
        QTest::newRow("idle") << int(tpIdle) << 19;
    }

    void priorityReachesTheScheduler()
    {
        QFETCH(int, priority);
        QFETCH(int, nice);
        TupCustomThread thread;
        thread.setPriority(TThreadPriority(priority));
        std::atomic<int> seen{-100};
        std::atomic<bool> done{false};
        thread.setOnExecute([&](TupWorker &) {
            errno = 0;
            seen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        });
        thread.setOnFinish([&] { done = true; });
        thread.Start();
        QTRY_VERIFY_WITH_TIMEOUT(done, timeout);
        QCOMPARE(seen.load(), nice);
        // The replacement took the priority over.
        QCOMPARE(int(thread.Priority()), priority);
    }

    void raisedPriorityIsKeptEvenWithoutPrivilege()
    {
        TupCustomThread thread;
        thread.setPriority(tpTimeCritical);
        thread.Start();
        QCOMPARE(thread.Priority(), tpTimeCritical);
    }

    void createdSuspendedUntilStartOrLoaded()
    {
        TupCustomThread thread;
        std::atomic<int> runs{0};
        thread.setOnExecute([&](TupWorker &) { ++runs; });
        QVERIFY(thread.Thread()->Suspended());
        QVERIFY(!thread.Busy());
        thread.Loaded(); // start suspended (the default): nothing happens
        QCoreApplication::processEvents();
        QCOMPARE(runs.load(), 0);

        // Each Suspend needs its own Resume.
        thread.Thread()->Suspend();
        thread.Thread()->Resume();
        QVERIFY(thread.Thread()->Suspended());

        thread.StartSuspended = false;
        thread.Loaded();
        QVERIFY(!thread.Thread()->Suspended());
        QCOMPARE(thread.Thread()->WaitFor(), 0);
        QCOMPARE(runs.load(), 1);
    }

    void freeOnTerminateFreesTheObject()
    {
        QPointer<TupEventThread> thread = new TupEventThread(nullptr);
        std::atomic<bool> ran{false};
        thread->setOnExecute([&](TupWorker &) { ran = true; });
        thread->setFreeOnTerminate(true);
        thread->Resume();
        QTRY_VERIFY_WITH_TIMEOUT(!thread, timeout);
        QVERIFY(ran);
    }
};

QTEST_GUILESS_MAIN(TestUpThread)
#include "tst_upthread.moc"
