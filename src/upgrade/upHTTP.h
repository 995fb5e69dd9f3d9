#pragma once

#include "upThread.h"

#include <QDateTime>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// Credentials for servers that demand authentication. They are not ordinary settings:
// a stored form carries them only as the scrambled "LInfo" blob.
class TupLoginComponent : public QObject
{
    Q_OBJECT

public:
    explicit TupLoginComponent(QObject *owner = nullptr);

    QString HTTPUsername;
    QString HTTPPassword;

    // Whether a stored form carries "LInfo" (either credential is set).
    bool storesLoginInfo() const;
    QByteArray LInfo() const;
    // Reads a stored blob; a malformed one leaves the credentials as they are.
    bool setLInfo(const QByteArray &data);
};

enum TupAccessType {
    atPreconfig, // the proxy settings of the environment (http_proxy, no_proxy, ...)
    atDirect,    // no proxy
    atUseProxy,  // ProxyServer:ProxyPort, except for the hosts of ProxyBypass
};

struct TupHTTPProxy
{
    TupAccessType AccessType = atPreconfig;
    int ProxyPort = 8080;
    QString ProxyServer;
    QString ProxyBypass = QStringLiteral("127.0.0.1;");
};

// Milliseconds; 0 keeps the transfer layer's own value.
struct TupHTTPTimeouts
{
    quint32 ConnectTimeout = 0;
    quint32 ReceiveTimeout = 0; // longest wait for more response data
    quint32 SendTimeout = 0;    // longest time from connection to a sent request
};

namespace upHTTPDetail {
class Transfer;
}

template<typename Function>
class TupEvent;

// A notification handler that may be attached, replaced or detached at any time, also
// while a transfer runs on the worker; the transfer asks for the handler each time it
// has something to report. Assign a callable (or nullptr) as to a std::function.
template<typename... Args>
class TupEvent<std::function<void(Args...)>>
{
public:
    using Function = std::function<void(Args...)>;

    TupEvent() = default;
    TupEvent(const TupEvent &) = delete;
    TupEvent &operator=(const TupEvent &) = delete;

    template<typename F>
    TupEvent &operator=(F &&function)
    {
        Function next(std::forward<F>(function));
        {
            // Waits for a call running on the worker: once the assignment has returned,
            // the handler it replaced is never called again, so its state may go.
            std::lock_guard lock(m_mutex);
            std::swap(m_function, next);
            m_attached = bool(m_function);
        }
        return *this; // the replaced handler is released outside the lock
    }

    explicit operator bool() const { return m_attached; }

    // A call on the GUI thread. It runs a copy, so a handler may replace itself.
    void operator()(Args... args) const
    {
        Function function;
        {
            std::lock_guard lock(m_mutex);
            function = m_function;
        }
        if (function)
            function(std::forward<Args>(args)...);
    }

    // A call on the worker. The handler runs under the lock, so replacing it on another
    // thread waits until this call has returned.
    void callOnWorker(Args... args) const
    {
        std::lock_guard lock(m_mutex);
        if (m_function)
            m_function(std::forward<Args>(args)...);
    }

private:
    mutable std::recursive_mutex m_mutex;
    Function m_function;
    std::atomic<bool> m_attached{false};
};

// Fetches one address at a time over HTTP or HTTPS, or from a file address, on a
// worker thread. Results reach the owner as notifications on the GUI thread.
//
// Set URL (and OutputFileName, NoCache, ...) and call StartTransfer. The body goes to
// OutputFileName (deleted and created anew) or, when that is empty, into memory.
// Notifications are std::function members, raised only when set and while the
// component is not being destroyed; the first argument is always the component.
// Every notification runs on the GUI thread except OnStatusChange and OnRedirect,
// which run on the worker (they must not touch widgets or wait for the GUI thread).
// The result fields below are written on the GUI thread: right before each
// notification, and at completion.
class TupCustomHTTP : public TupLoginComponent
{
    Q_OBJECT

public:
    using HeaderInfoEvent = std::function<void(
        QObject *Sender, const QString &RawHeaders, const QString &ContentType, const QString &ContentLanguage,
        const QString &ContentEncoding, const QString &Location, qint64 ContentLength, const QDateTime &Date,
        const QDateTime &LastModified, const QDateTime &Expires, bool &ContinueTransfer)>;
    using TransferProgressEvent = std::function<void(
        QObject *Sender, const QString &ContentType, qint64 ContentLength, qint64 BytesRead, qint64 ElapsedTime,
        qint64 EstimatedTimeLeft, int PercentsDone, float TransferRate, QIODevice *Stream)>;
    // Stream is null when the body went to the output file (already closed).
    using DoneEvent = std::function<void(QObject *Sender, const QString &ContentType, qint64 BytesRead, QIODevice *Stream)>;
    using ConnectionLostEvent = std::function<void(QObject *Sender, const QString &ContentType, qint64 ContentLength,
                                                   qint64 BytesRead, QIODevice *Stream)>;
    using HTTPErrorEvent = std::function<void(QObject *Sender, int StatusCode, QIODevice *Stream)>;
    using PasswordRequiredEvent = std::function<void(QObject *Sender, const QString &Realm, bool &TryAgain)>;
    using ProxyAuthenticationEvent
        = std::function<void(QObject *Sender, QString &ProxyUsername, QString &ProxyPassword, bool &TryAgain)>;
    using NotifyEvent = std::function<void(QObject *Sender)>;
    using StatusChangeEvent = std::function<void(QObject *Sender, int StatusCode, const QString &StatusText)>;
    using RedirectEvent = std::function<void(QObject *Sender, const QString &NewURL)>;

    explicit TupCustomHTTP(QObject *owner = nullptr);
    ~TupCustomHTTP() override;

    // Starts a transfer of URL on a fresh worker and returns true at once; false, with
    // nothing changed, while a transfer runs.
    bool StartTransfer();
    // Ends a running transfer: no notification of it follows, except OnTransferAborted
    // when it was busy. An output file is left as it is (closed, not deleted).
    void AbortTransfer();
    // True while the worker's transfer routine runs.
    bool Busy() const;

    int TransferBufferSize() const { return m_transferBufferSize; }
    void setTransferBufferSize(int size); // 255 ... 2147483647
    TThreadPriority ThreadPriority() const;
    void setThreadPriority(TThreadPriority priority);

    // Settings, read when a transfer starts.
    QString AcceptTypes = QStringLiteral("text/html, */*");
    QString UserAgent;
    QString OutputFileName;
    bool HideOutputFile = false; // Linux files have no hidden or temporary attribute
    QString URL;
    TupHTTPProxy Proxy;
    TupHTTPTimeouts Timeouts;
    bool NoCache = false;
    // HTTPS: the server's certificate must be valid for its host name and come from
    // an authority of the system (or of this PEM file, trusted in addition). A
    // redirect from an https address to a plain http one is refused.
    QString CAFile;

    // Attaching or detaching a handler takes effect at once, also during a transfer.
    TupEvent<HeaderInfoEvent> OnHeaderInfo;
    TupEvent<TransferProgressEvent> OnTransferProgress;
    TupEvent<DoneEvent> OnDone;
    TupEvent<NotifyEvent> OnNotContinued;
    TupEvent<ConnectionLostEvent> OnConnectionLost;
    TupEvent<NotifyEvent> OnNoResponse;
    TupEvent<HTTPErrorEvent> OnHTTPError;
    TupEvent<PasswordRequiredEvent> OnPasswordRequired;
    TupEvent<ProxyAuthenticationEvent> OnProxyAuthenticationRequest;
    // Raised alone when the transfer could not be completed on this side: the output
    // file could not be created or written (a written one is deleted), or the
    // transfer routine failed.
    TupEvent<NotifyEvent> OnTransferError;
    TupEvent<NotifyEvent> OnTransferAborted;
    // Worker thread. Detaching one waits until a call in progress has returned.
    TupEvent<StatusChangeEvent> OnStatusChange;
    TupEvent<RedirectEvent> OnRedirect;

    // Filled by the OnProxyAuthenticationRequest handler and kept for the next
    // transfers, which offer them to the proxy from their first request.
    QString ProxyUsername;
    QString ProxyPassword;

    // Results of the current or last transfer.
    int StatusCode = -1; // -1 while no response has arrived
    bool Succeeded = false;
    bool TryAgain = false;         // set by an authentication handler to resend
    bool ContinueTransfer = true;  // cleared by the header handler to skip the body
    QString RawHeaders;
    QString ContentType; // also the realm of a 401 response
    QString ContentLanguage;
    QString ContentEncoding;
    QString Location;
    QDateTime Date;         // local time; invalid when absent
    QDateTime LastModified; // local time; invalid when absent
    QDateTime Expires;      // local time; invalid when absent
    bool OutputFileFailed = false; // the output file could not be created or written
    qint64 ContentLength = 0; // 0 when absent
    qint64 BytesRead = 0;
    int PercentsDone = 0;
    qint64 ElapsedTime = 0;
    qint64 EstimatedTimeLeft = 0;
    float TransferRate = 0;

protected:
    bool isDestroying() const { return m_destroying; }
    // Ends any transfer for good and silences every notification. The destructor
    // calls it; a derived component calls it first thing in its own destructor.
    void prepareDestruction();

private:
    friend class upHTTPDetail::Transfer;

    void complete(const std::shared_ptr<upHTTPDetail::Transfer> &transfer);
    void transferException();
    void takeResults(const upHTTPDetail::Transfer &transfer);

    TupCustomThread *m_worker;
    std::shared_ptr<upHTTPDetail::Transfer> m_transfer;
    int m_transferBufferSize = 4096;
    bool m_destroying = false;
};
