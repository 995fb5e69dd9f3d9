#include "loopbackservers.h"
#include "testcertificates.h"
#include "upHTTP.h"
#include "upgradeserver.h"
#include "upUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimeZone>
#include <QUrl>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cmath>
#include <sys/resource.h>
#include <mutex>
#include <stdexcept>

namespace {

constexpr int timeout = 20000;

bool onGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

QByteArray fileContent(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Records the GUI-thread notifications of one component, and the body it was shown.
struct Recorder
{
    QStringList events;
    QByteArray body;
    bool allOnGuiThread = true;

    void note(const QString &event)
    {
        events << event;
        allOnGuiThread = allOnGuiThread && onGuiThread();
    }

    void keep(QIODevice *stream)
    {
        if (stream)
            body = stream->readAll();
    }

    QStringList withoutProgress() const
    {
        QStringList result = events;
        result.removeAll(QStringLiteral("Progress"));
        return result;
    }

    void attach(TupCustomHTTP &http)
    {
        http.OnDone = [this](QObject *, const QString &, qint64, QIODevice *stream) {
            note("Done");
            keep(stream);
        };
        http.OnNotContinued = [this](QObject *) { note("NotContinued"); };
        http.OnConnectionLost = [this](QObject *, const QString &, qint64, qint64, QIODevice *stream) {
            note("ConnectionLost");
            keep(stream);
        };
        http.OnNoResponse = [this](QObject *) { note("NoResponse"); };
        http.OnHTTPError = [this](QObject *, int status, QIODevice *stream) {
            note(QStringLiteral("HTTPError %1").arg(status));
            keep(stream);
        };
        http.OnTransferError = [this](QObject *) { note("TransferError"); };
        http.OnTransferAborted = [this](QObject *) { note("Aborted"); };
    }

    void attachProgress(TupCustomHTTP &http)
    {
        http.OnTransferProgress = [this](QObject *, const QString &, qint64, qint64, qint64, qint64, int, float,
                                         QIODevice *) { note("Progress"); };
    }
};

QByteArray largeBody()
{
    QByteArray body;
    for (int i = 0; i < 20000; ++i)
        body.append(static_cast<char>((i * 13) % 256));
    return body;
}

// Lowers this process's file size limit (as `ulimit -f` does) until destroyed.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        rlimit lowered = m_previous;
        lowered.rlim_cur = bytes;
        m_ok = m_ok && setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            setrlimit(RLIMIT_FSIZE, &m_previous);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_previous{};
    bool m_ok = false;
};

QByteArray statsBody()
{
    QByteArray body;
    for (int i = 0; i < 2040; ++i)
        body.append(static_cast<char>((i * 7) % 251));
    return body;
}

// Whether expected occurs in list in this order (other entries may come between).
bool inOrder(const QList<int> &list, const QList<int> &expected)
{
    qsizetype at = 0;
    for (const int value : list) {
        if (at < expected.size() && value == expected.at(at))
            ++at;
    }
    return at == expected.size();
}

} // namespace

class TestUpHTTP : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedHttpServer> m_server;
    std::unique_ptr<TestCertificates> m_certificates; // made once, when first needed
    QTemporaryDir m_dir;

    const TestCertificates &certificates()
    {
        if (!m_certificates)
            m_certificates = std::make_unique<TestCertificates>();
        return *m_certificates;
    }

    QString expand(QString url) const
    {
        return url.replace("{server}", m_server->url(""))
            .replace("{port}", QString::number(m_server->port()))
            .replace("{closed}", QString::number(unusedLoopbackPort()))
            .replace("{dir}", m_dir.path());
    }

    QString outputFile(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                 "no_proxy", "NO_PROXY"})
            qunsetenv(name);
        QVERIFY(m_dir.isValid());
        m_server = std::make_unique<ScriptedHttpServer>();
        QVERIFY2(m_server->error().isEmpty(), qPrintable(m_server->error()));
        QFile local(m_dir.filePath("local.txt"));
        QVERIFY(local.open(QIODevice::WriteOnly));
        local.write("local body");
    }

    void cleanup()
    {
        // No worker of a test may outlive it.
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
    }

    void outcome_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<int>("receiveTimeout");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("fileKept");

        const QStringList done{"Done"};
        QTest::newRow("200 with length, into memory")
            << "{server}/ok" << false << 0 << done << 200 << QByteArray("hello, upgrade") << false;
        QTest::newRow("200 with length, into a file")
            << "{server}/ok" << true << 0 << done << 200 << QByteArray("hello, upgrade") << true;
        QTest::newRow("200 without length, into a file")
            << "{server}/nolength" << true << 0 << done << 200 << QByteArray("no length here") << true;
        QTest::newRow("200 with length 0") << "{server}/zerolength" << true << 0 << done << 200 << QByteArray() << true;
        QTest::newRow("body shorter than announced")
            << "{server}/short" << true << 0 << QStringList{"TransferError", "ConnectionLost"} << 200
            << QByteArray(40, 'x') << false;
        QTest::newRow("404 with a body, into a file")
            << "{server}/missing" << true << 0 << QStringList{"TransferError", "HTTPError 404"} << 404
            << QByteArray("not here") << false;
        QTest::newRow("404 with a body, into memory")
            << "{server}/missing" << false << 0 << QStringList{"TransferError", "HTTPError 404"} << 404
            << QByteArray("not here") << false;
        QTest::newRow("401 without a password handler")
            << "{server}/auth" << false << 0 << QStringList{"TransferError", "HTTPError 401"} << 401
            << QByteArray("denied") << false;
        QTest::newRow("redirect followed")
            << "{server}/redirect" << false << 0 << done << 200 << QByteArray("hello, upgrade") << false;
        QTest::newRow("address without scheme")
            << "127.0.0.1:{port}/ok" << false << 0 << done << 200 << QByteArray("hello, upgrade") << false;
        QTest::newRow("address without host")
            << "http://" << true << 0 << QStringList{"TransferError", "NoResponse"} << -1 << QByteArray() << false;
        QTest::newRow("nothing listens")
            << "http://127.0.0.1:{closed}/ok" << true << 0 << QStringList{"TransferError", "NoResponse"} << -1
            << QByteArray() << false;
        QTest::newRow("receive time-out on a stalled body")
            << "{server}/stall" << true << 500 << QStringList{"TransferError", "ConnectionLost"} << 200
            << QByteArray("0123456789") << false;
        QTest::newRow("file address, into memory")
            << "file://{dir}/local.txt" << false << 0 << done << 200 << QByteArray("local body") << false;
        QTest::newRow("file address, into a file")
            << "file://{dir}/local.txt" << true << 0 << done << 200 << QByteArray("local body") << true;
        QTest::newRow("missing file address")
            << "file://{dir}/absent.txt" << true << 0 << QStringList{"TransferError", "HTTPError 404"} << 404
            << QByteArray() << false;
    }

    void outcome()
    {
        QFETCH(QString, url);
        QFETCH(bool, toFile);
        QFETCH(int, receiveTimeout);
        QFETCH(QStringList, events);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, fileKept);

        const QString output = outputFile("outcome.bin");
        QFile::remove(output);
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.URL = expand(url);
        http.OutputFileName = toFile ? output : QString();
        http.Timeouts.ReceiveTimeout = quint32(receiveTimeout);
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, events, timeout);
        QVERIFY(!http.Busy());
        QCOMPARE(http.StatusCode, status);
        QVERIFY(recorder.allOnGuiThread);
        QCOMPARE(QFile::exists(output), fileKept);
        QCOMPARE(fileKept ? fileContent(output) : recorder.body, body);
    }

    void startWhileBusyIsRefused()
    {
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.URL = m_server->url("/slow");
        QVERIFY(http.StartTransfer());
        http.URL = m_server->url("/ok");
        QVERIFY(!http.StartTransfer());
        QVERIFY(http.Busy());
        QCOMPARE(http.StatusCode, -1);
        http.AbortTransfer();
        QCOMPARE(recorder.events, QStringList{"Aborted"});
        QVERIFY(!http.Busy());
    }

    void abortThenNewTransferAtOnce()
    {
        const QString output = outputFile("aborted.bin");
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        recorder.attachProgress(http);
        http.setTransferBufferSize(255);
        http.URL = m_server->url("/slow");
        http.OutputFileName = output;
        QVERIFY(http.StartTransfer());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.events.contains("Progress"), timeout);

        http.AbortTransfer();
        QCOMPARE(recorder.withoutProgress(), QStringList{"Aborted"});
        const qint64 sizeAtAbort = QFileInfo(output).size();

        http.URL = m_server->url("/ok");
        http.OutputFileName.clear();
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.withoutProgress(), QStringList({"Aborted", "Done"}), timeout);
        QCOMPARE(recorder.body, QByteArray("hello, upgrade"));

        // The old worker has ended, and nothing of its transfer came through.
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QCoreApplication::processEvents();
        QCOMPARE(recorder.withoutProgress(), QStringList({"Aborted", "Done"}));
        // The aborted output file is closed, kept, and was not written after the abort.
        QVERIFY(sizeAtAbort >= 255);
        QCOMPARE(QFileInfo(output).size(), sizeAtAbort);
    }

    void passwordRequired_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("realm");
        QTest::addColumn<QStringList>("passwords"); // one per request; empty = give up
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("right on the second try") << "/auth" << "Upgrade area" << QStringList{"wrong", "opensesame"}
                                                 << QStringList{"Done"} << QByteArray("welcome");
        QTest::newRow("challenge without a quoted realm") << "/auth-plain" << "Basic" << QStringList{"opensesame"}
                                                          << QStringList{"Done"} << QByteArray("welcome");
        QTest::newRow("handler gives up") << "/auth" << "Upgrade area" << QStringList{"wrong", ""}
                                          << QStringList{"TransferError", "HTTPError 401"} << QByteArray("denied");
    }

    void passwordRequired()
    {
        QFETCH(QString, path);
        QFETCH(QString, realm);
        QFETCH(QStringList, passwords);
        QFETCH(QStringList, events);
        QFETCH(QByteArray, body);

        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        QStringList realms;
        http.OnPasswordRequired = [&](QObject *sender, const QString &Realm, bool &TryAgain) {
            QCOMPARE(sender, &http);
            QVERIFY(onGuiThread());
            QVERIFY(!TryAgain);
            realms << Realm;
            const QString password = passwords.value(realms.size() - 1);
            if (password.isEmpty())
                return;
            http.HTTPUsername = "keeper";
            http.HTTPPassword = password;
            TryAgain = true;
        };
        http.URL = m_server->url(path);
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, events, timeout);
        QCOMPARE(realms, QStringList(QList<QString>(passwords.size(), realm)));
        QCOMPARE(recorder.body, body);
    }

    void headerInfo_data()
    {
        QTest::addColumn<bool>("continueTransfer");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("body wanted") << true << QStringList{"HeaderInfo", "Done"} << QByteArray("headers");
        QTest::newRow("body skipped") << false << QStringList{"HeaderInfo", "NotContinued"} << QByteArray("previous");
    }

    void headerInfo()
    {
        QFETCH(bool, continueTransfer);
        QFETCH(QStringList, events);
        QFETCH(QByteArray, file);

        const QString output = outputFile("headers.bin");
        {
            QFile previous(output);
            QVERIFY(previous.open(QIODevice::WriteOnly | QIODevice::Truncate));
            previous.write("previous");
        }
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        QStringList texts;
        qint64 length = -1;
        QList<QDateTime> dates;
        http.OnHeaderInfo = [&](QObject *, const QString &RawHeaders, const QString &ContentType,
                                const QString &ContentLanguage, const QString &ContentEncoding, const QString &Location,
                                qint64 ContentLength, const QDateTime &Date, const QDateTime &LastModified,
                                const QDateTime &Expires, bool &ContinueTransfer) {
            recorder.note("HeaderInfo");
            texts = {RawHeaders, ContentType, ContentLanguage, ContentEncoding, Location};
            length = ContentLength;
            dates = {Date, LastModified, Expires};
            QVERIFY(ContinueTransfer);
            ContinueTransfer = continueTransfer;
        };
        http.URL = m_server->url("/headers");
        http.OutputFileName = output;
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, events, timeout);
        QVERIFY(recorder.allOnGuiThread);

        QVERIFY2(texts.value(0).startsWith("HTTP/1.1 200 OK\r\n"), qPrintable(texts.value(0)));
        QVERIFY(texts.value(0).contains("\r\nContent-Language: zh-CN\r\n"));
        QVERIFY(texts.value(0).endsWith("\r\n\r\n"));
        QCOMPARE(texts.mid(1), QStringList({"text/plain; charset=utf-8", "zh-CN", "identity", "/elsewhere"}));
        QCOMPARE(length, qint64(7));
        const QDateTime moment(QDate(1994, 11, 6), QTime(8, 49, 37), QTimeZone::utc());
        for (const QDateTime &date : dates) {
            QCOMPARE(date.timeSpec(), Qt::LocalTime);
            QCOMPARE(date.toUTC(), moment);
        }
        QCOMPARE(http.LastModified.toUTC(), moment);
        QCOMPARE(fileContent(output), file);
    }

    void progressStatistics()
    {
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        struct Step
        {
            qint64 length, read, elapsed, left, streamSize;
            int percents;
            float rate;
        };
        QList<Step> steps;
        http.OnTransferProgress = [&](QObject *, const QString &, qint64 ContentLength, qint64 BytesRead,
                                      qint64 ElapsedTime, qint64 EstimatedTimeLeft, int PercentsDone,
                                      float TransferRate, QIODevice *Stream) {
            steps.append({ContentLength, BytesRead, ElapsedTime, EstimatedTimeLeft, Stream->size(), PercentsDone,
                          TransferRate});
        };
        http.setTransferBufferSize(255);
        http.URL = m_server->url("/stats");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{"Done"}, timeout);
        QCOMPARE(recorder.body, statsBody());

        const QList<int> percents{12, 25, 38, 50, 62, 75, 88, 100};
        QCOMPARE(steps.size(), percents.size());
        for (int i = 0; i < steps.size(); ++i) {
            const Step &step = steps.at(i);
            QCOMPARE(step.length, qint64(2040));
            QCOMPARE(step.read, qint64(255) * (i + 1));
            QCOMPARE(step.streamSize, step.read);
            QCOMPARE(step.percents, percents.at(i));
            const double perSecond = step.elapsed == 0 ? 1.0 : double(step.elapsed);
            QCOMPARE(step.rate, float(double(step.read) / 1024.0 / perSecond));
            QCOMPARE(step.left, qint64(std::nearbyint(2040.0 / double(step.read) * double(step.elapsed))) - step.elapsed);
        }
    }

    void statusChangesAndRedirect()
    {
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        std::mutex mutex;
        QList<int> codes;
        QStringList redirects;
        bool workerOnly = true;
        bool textsMatch = true;
        http.OnStatusChange = [&](QObject *, int code, const QString &text) {
            std::lock_guard lock(mutex);
            codes << code;
            workerOnly = workerOnly && !onGuiThread();
            textsMatch = textsMatch && text == upStatusText(code);
        };
        http.OnRedirect = [&](QObject *, const QString &url) {
            std::lock_guard lock(mutex);
            redirects << url;
            workerOnly = workerOnly && !onGuiThread();
        };
        http.URL = m_server->url("/redirect");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{"Done"}, timeout);
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));

        std::lock_guard lock(mutex);
        QCOMPARE(redirects, QStringList{m_server->url("/ok")});
        QVERIFY(workerOnly);
        QVERIFY(textsMatch);
        // Both connections close (the server closes after each answer), so the redirect
        // opens a second one.
        const QList<int> expected{10, 11, 20, 21, 30, 31, 40, 41, 110, 50, 51, 20, 21, 30, 31, 40, 41, 50, 51};
        QVERIFY2(inOrder(codes, expected), qPrintable(QDebug::toString(codes)));
    }

    void exceptionOnTheWorker()
    {
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.OnStatusChange = [](QObject *, int code, const QString &) {
            if (code == 31)
                throw std::runtime_error("status handler failed");
        };
        http.URL = m_server->url("/ok");
        QVERIFY(http.StartTransfer());
        // Once from the exception, once from the completion (no body stream).
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList({"TransferError", "TransferError"}), timeout);
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QCoreApplication::processEvents();
        QCOMPARE(recorder.events, QStringList({"TransferError", "TransferError"}));
        QCOMPARE(http.StatusCode, -1);
    }

    void outputFileCannotBeCreated()
    {
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.URL = m_server->url("/ok");
        http.OutputFileName = m_dir.filePath("no/such/folder/file.bin");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{"TransferError"}, timeout);
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QCoreApplication::processEvents();
        QCOMPARE(recorder.events, QStringList{"TransferError"});
    }

    void ownerDestroyedWhileWorkerWaitsInACall()
    {
        auto http = std::make_unique<TupCustomHTTP>();
        Recorder recorder;
        recorder.attach(*http);
        bool headerHandlerRan = false;
        http->OnHeaderInfo = [&](QObject *, const QString &, const QString &, const QString &, const QString &,
                                 const QString &, qint64, const QDateTime &, const QDateTime &, const QDateTime &,
                                 bool &) { headerHandlerRan = true; };
        http->URL = m_server->url("/ok");
        QVERIFY(http->StartTransfer());
        // Wait without processing events, so the worker stays blocked in its call.
        bool waiting = false;
        for (int i = 0; i < timeout / 10 && !waiting; ++i) {
            waiting = TupEventThread::pendingMainThreadCalls() > 0;
            if (!waiting)
                QThread::msleep(10);
        }
        QVERIFY(waiting);

        http.reset();
        QCoreApplication::processEvents();
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QCoreApplication::processEvents();
        QCOMPARE(TupEventThread::pendingMainThreadCalls(), 0);
        QVERIFY(!headerHandlerRan);
        QCOMPARE(recorder.events, QStringList());
    }

    void handlerDeletesTheComponent()
    {
        auto http = std::make_unique<TupCustomHTTP>();
        Recorder recorder;
        recorder.attach(*http);
        http->OnHeaderInfo = [&](QObject *, const QString &, const QString &, const QString &, const QString &,
                                 const QString &, qint64, const QDateTime &, const QDateTime &, const QDateTime &,
                                 bool &) {
            recorder.note("HeaderInfo");
            http.reset();
        };
        http->URL = m_server->url("/ok");
        QVERIFY(http->StartTransfer());
        QTRY_VERIFY_WITH_TIMEOUT(!http, timeout);
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QCoreApplication::processEvents();
        QCOMPARE(recorder.events, QStringList{"HeaderInfo"});
    }

    void requestHeaders_data()
    {
        QTest::addColumn<bool>("noCache");
        QTest::newRow("cached copy allowed") << false;
        QTest::newRow("fresh copy") << true;
    }

    void requestHeaders()
    {
        QFETCH(bool, noCache);
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.NoCache = noCache;
        http.URL = m_server->url("/echo");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{"Done"}, timeout);
        const QByteArray request = recorder.body;
        QVERIFY2(request.contains("User-Agent: TupCustomHTTP (Quillmora)\n"), request.constData());
        QVERIFY(request.contains("Accept: text/html, */*\n"));
        QCOMPARE(request.contains("Pragma: no-cache\n"), noCache);
        QCOMPARE(request.contains("Cache-Control: no-cache\n"), noCache);
    }

    void proxyAccess_data()
    {
        QTest::addColumn<int>("accessType");
        QTest::addColumn<QString>("bypass");
        QTest::addColumn<bool>("environmentProxy");
        QTest::addColumn<bool>("viaProxy");
        QTest::newRow("proxy, empty bypass list") << int(atUseProxy) << "" << false << true;
        QTest::newRow("proxy, default bypass list") << int(atUseProxy) << "127.0.0.1;" << false << false;
        QTest::newRow("proxy, wildcard bypass") << int(atUseProxy) << "10.*;127.0.0.*" << false << false;
        QTest::newRow("proxy, bypass list for other hosts") << int(atUseProxy) << "localhost;10.*" << false << true;
        QTest::newRow("preconfigured, environment names a proxy") << int(atPreconfig) << "" << true << true;
        QTest::newRow("preconfigured, no proxy in the environment") << int(atPreconfig) << "" << false << false;
        QTest::newRow("direct, environment names a proxy") << int(atDirect) << "" << true << false;
    }

    void proxyAccess()
    {
        QFETCH(int, accessType);
        QFETCH(QString, bypass);
        QFETCH(bool, environmentProxy);
        QFETCH(bool, viaProxy);

        LoopbackProxy proxy;
        QVERIFY2(proxy.error().isEmpty(), qPrintable(proxy.error()));
        if (environmentProxy)
            qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(proxy.port()).toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("http_proxy"); });

        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.Proxy.AccessType = TupAccessType(accessType);
        http.Proxy.ProxyServer = "127.0.0.1";
        http.Proxy.ProxyPort = proxy.port();
        http.Proxy.ProxyBypass = bypass;
        http.URL = m_server->url("/echo");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{"Done"}, timeout);
        QCOMPARE(recorder.body.contains("tinyproxy"), viaProxy);
    }

    void proxyAuthentication_data()
    {
        QTest::addColumn<bool>("handler");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("handler gives the credentials") << true << QStringList{"ProxyAuthentication", "Done"};
        QTest::newRow("no handler") << false << QStringList{"TransferError", "HTTPError 407"};
    }

    void proxyAuthentication()
    {
        QFETCH(bool, handler);
        QFETCH(QStringList, events);
        LoopbackProxy proxy("warden", "letmethrough");
        QVERIFY2(proxy.error().isEmpty(), qPrintable(proxy.error()));

        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        if (handler) {
            http.OnProxyAuthenticationRequest = [&](QObject *, QString &ProxyUsername, QString &ProxyPassword,
                                                    bool &TryAgain) {
                recorder.note("ProxyAuthentication");
                ProxyUsername = "warden";
                ProxyPassword = "letmethrough";
                TryAgain = true;
            };
        }
        http.Proxy.AccessType = atUseProxy;
        http.Proxy.ProxyServer = "127.0.0.1";
        http.Proxy.ProxyPort = proxy.port();
        http.Proxy.ProxyBypass.clear();
        http.URL = m_server->url("/echo");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, events, timeout);
        QVERIFY(recorder.allOnGuiThread);
    }

    void outputFileCannotBeWritten_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("web server") << "{server}/large";
        QTest::newRow("file address") << "file://{dir}/large.bin";
    }

    void outputFileCannotBeWritten()
    {
        // A file size limit stops the 20,000-byte body part way, as a full disk does.
        QFETCH(QString, url);
        {
            QFile source(m_dir.filePath("large.bin"));
            QVERIFY(source.open(QIODevice::WriteOnly | QIODevice::Truncate));
            source.write(largeBody());
        }
        const QString output = outputFile("limited.bin");
        QFile::remove(output);
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        recorder.attachProgress(http);
        http.URL = expand(url);
        http.OutputFileName = output;
        {
            FileSizeLimit limit(8192);
            QVERIFY(limit.ok());
            QVERIFY(http.StartTransfer());
            QTRY_VERIFY_WITH_TIMEOUT(recorder.withoutProgress().contains("TransferError"), timeout);
            QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
            QCoreApplication::processEvents();
        }
        QCOMPARE(recorder.withoutProgress(), QStringList{"TransferError"});
        QVERIFY(!QFile::exists(output));
        QVERIFY(http.BytesRead < 20000);
        QVERIFY(!http.Succeeded);

        // The same body into memory is not limited.
        Recorder inMemory;
        inMemory.attach(http);
        http.OutputFileName.clear();
        {
            FileSizeLimit limit(8192);
            QVERIFY(http.StartTransfer());
            QTRY_COMPARE_WITH_TIMEOUT(inMemory.events, QStringList{"Done"}, timeout);
        }
        QCOMPARE(inMemory.body, largeBody());
    }

    void headerInfoBeforeTheBody()
    {
        // The server sends the body only once the gate file exists, which the header
        // handler creates; without the headers reported first, the body never comes.
        const QString gate = m_dir.filePath("gate");
        QFile::remove(gate);
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        qint64 bytesAtHeaders = -1;
        http.OnHeaderInfo = [&](QObject *, const QString &, const QString &, const QString &, const QString &,
                                const QString &, qint64 ContentLength, const QDateTime &, const QDateTime &,
                                const QDateTime &, bool &) {
            recorder.note(QStringLiteral("HeaderInfo %1").arg(ContentLength));
            bytesAtHeaders = http.BytesRead;
            QFile open(gate);
            QVERIFY(open.open(QIODevice::WriteOnly));
        };
        http.URL = m_server->url("/gated?gate=" + QUrl::toPercentEncoding(gate));
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList({"HeaderInfo 14", "Done"}), timeout);
        QCOMPARE(bytesAtHeaders, qint64(0));
        QCOMPARE(recorder.body, QByteArray("after the gate"));
    }

    void handlersChangedDuringATransfer()
    {
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);

        // A status handler on the worker, detached from the GUI thread mid-transfer:
        // once detaching has returned, the state it used may go.
        struct StatusState
        {
            std::atomic<int> calls{0};
            std::atomic<bool> detached{false};
            std::atomic<int> callsAfterDetaching{0};
        };
        auto state = std::make_shared<StatusState>();
        http.OnStatusChange = [state](QObject *, int, const QString &) {
            ++state->calls;
            if (state->detached)
                ++state->callsAfterDetaching;
        };
        // Progress attached by the header handler, and detached again by its first call.
        int progressCalls = 0;
        http.OnHeaderInfo = [&](QObject *, const QString &, const QString &, const QString &, const QString &,
                                const QString &, qint64, const QDateTime &, const QDateTime &, const QDateTime &,
                                bool &) {
            recorder.note("HeaderInfo");
            http.OnStatusChange = nullptr;
            state->detached = true;
            http.OnTransferProgress = [&](QObject *, const QString &, qint64, qint64, qint64, qint64, int, float,
                                          QIODevice *) {
                ++progressCalls;
                http.OnTransferProgress = nullptr;
            };
        };
        http.setTransferBufferSize(255);
        http.URL = m_server->url("/stats");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList({"HeaderInfo", "Done"}), timeout);
        QVERIFY(TupEventThread::joinAbandonedWorkers(std::chrono::milliseconds(timeout)));
        QVERIFY(state->calls > 0);
        QCOMPARE(state->callsAfterDetaching.load(), 0);
        QCOMPARE(progressCalls, 1);
        QCOMPARE(recorder.body, statsBody());
    }

    void addressWithoutHostThroughAProxy_data()
    {
        QTest::addColumn<int>("accessType");
        QTest::newRow("proxy of the component") << int(atUseProxy);
        QTest::newRow("proxy of the environment") << int(atPreconfig);
    }

    void addressWithoutHostThroughAProxy()
    {
        // The proxy gets the request and answers it with a status of its own.
        QFETCH(int, accessType);
        LoopbackProxy proxy;
        QVERIFY2(proxy.error().isEmpty(), qPrintable(proxy.error()));
        if (accessType == atPreconfig)
            qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(proxy.port()).toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("http_proxy"); });

        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.Proxy.AccessType = TupAccessType(accessType);
        http.Proxy.ProxyServer = "127.0.0.1";
        http.Proxy.ProxyPort = proxy.port();
        http.URL = "http://";
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 2, timeout);
        QVERIFY2(http.StatusCode >= 400, qPrintable(QString::number(http.StatusCode)));
        QCOMPARE(recorder.events, QStringList({"TransferError", QStringLiteral("HTTPError %1").arg(http.StatusCode)}));
        QVERIFY2(recorder.body.contains("tinyproxy"), recorder.body.constData());
    }

    void proxyCredentialsAreKept()
    {
        LoopbackProxy proxy("warden", "letmethrough");
        QVERIFY2(proxy.error().isEmpty(), qPrintable(proxy.error()));
        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        QStringList offered;
        http.OnProxyAuthenticationRequest = [&](QObject *, QString &ProxyUsername, QString &ProxyPassword,
                                                bool &TryAgain) {
            recorder.note("ProxyAuthentication");
            offered << ProxyUsername + "/" + ProxyPassword;
            ProxyUsername = "warden";
            ProxyPassword = "letmethrough";
            TryAgain = true;
        };
        http.Proxy.AccessType = atUseProxy;
        http.Proxy.ProxyServer = "127.0.0.1";
        http.Proxy.ProxyPort = proxy.port();
        http.Proxy.ProxyBypass.clear();
        http.URL = m_server->url("/echo");
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList({"ProxyAuthentication", "Done"}), timeout);
        QCOMPARE(offered, QStringList{"/"});
        QCOMPARE(http.ProxyUsername, QStringLiteral("warden"));
        QCOMPARE(http.ProxyPassword, QStringLiteral("letmethrough"));

        // The next transfer offers them from its first request; the handler is not asked.
        recorder.events.clear();
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, QStringList{"Done"}, timeout);
        QVERIFY(recorder.body.contains("tinyproxy"));
        QCOMPARE(offered, QStringList{"/"});
    }

    void httpsCertificates_data()
    {
        QTest::addColumn<int>("certificate");
        QTest::addColumn<bool>("trustTestAuthority");
        QTest::addColumn<QStringList>("events");
        const QStringList failed{"TransferError", "NoResponse"};
        QTest::newRow("right certificate") << int(TestCertificates::Good) << true << QStringList{"Done"};
        QTest::newRow("test authority not trusted") << int(TestCertificates::Good) << false << failed;
        QTest::newRow("wrong host name") << int(TestCertificates::WrongHost) << true << failed;
        QTest::newRow("unknown authority") << int(TestCertificates::UnknownAuthority) << true << failed;
        QTest::newRow("expired") << int(TestCertificates::Expired) << true << failed;
    }

    void httpsCertificates()
    {
        QFETCH(int, certificate);
        QFETCH(bool, trustTestAuthority);
        QFETCH(QStringList, events);
        QVERIFY2(certificates().error().isEmpty(), qPrintable(certificates().error()));
        UpgradeServer server(certificates().certificate(TestCertificates::Kind(certificate)), certificates().key());
        QVERIFY(server.isRunning());
        server.put("release.bin", "signed bytes");
        const QString output = outputFile("https.bin");
        QFile::remove(output);

        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.URL = server.url("release.bin");
        QVERIFY(http.URL.startsWith("https://127.0.0.1:"));
        http.CAFile = trustTestAuthority ? certificates().authority() : QString();
        http.OutputFileName = output;
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, events, timeout);
        const bool passed = events == QStringList{"Done"};
        QCOMPARE(http.StatusCode, passed ? 200 : -1);
        QCOMPARE(fileContent(output), passed ? QByteArray("signed bytes") : QByteArray("<missing>"));
    }

    void httpsRedirects_data()
    {
        QTest::addColumn<bool>("toPlainHttp");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("to https") << false << QStringList{"Done"};
        QTest::newRow("to plain http, refused") << true << QStringList{"TransferError", "HTTPError 302"};
    }

    void httpsRedirects()
    {
        QFETCH(bool, toPlainHttp);
        QFETCH(QStringList, events);
        QVERIFY2(certificates().error().isEmpty(), qPrintable(certificates().error()));
        UpgradeServer secure(certificates().certificate(TestCertificates::Good), certificates().key());
        UpgradeServer plain;
        QVERIFY(secure.isRunning() && plain.isRunning());
        secure.put("release.bin", "over https");
        plain.put("release.bin", "over plain http");
        const QString target = toPlainHttp ? plain.url("release.bin") : secure.url("release.bin");

        TupCustomHTTP http;
        Recorder recorder;
        recorder.attach(http);
        http.CAFile = certificates().authority();
        http.URL = secure.url("redirect/release.bin?to=" + QUrl::toPercentEncoding(target));
        QVERIFY(http.StartTransfer());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events, events, timeout);
        QVERIFY(!recorder.body.contains("over plain http"));
        if (!toPlainHttp)
            QCOMPARE(recorder.body, QByteArray("over https"));
    }

    void loginInfoRoundTrip()
    {
        TupCustomHTTP stored;
        QVERIFY(!stored.storesLoginInfo());
        stored.HTTPUsername = "keeper";
        stored.HTTPPassword = "opensesame";
        QVERIFY(stored.storesLoginInfo());
        TupCustomHTTP loaded;
        QVERIFY(loaded.setLInfo(stored.LInfo()));
        QCOMPARE(loaded.HTTPUsername, QStringLiteral("keeper"));
        QCOMPARE(loaded.HTTPPassword, QStringLiteral("opensesame"));
    }
};

QTEST_GUILESS_MAIN(TestUpHTTP)
#include "tst_uphttp.moc"
