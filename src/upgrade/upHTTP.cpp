#include "upHTTP.h"

#include "upUtils.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <csignal>
#include <curl/curl.h>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A memory body is pre-sized to the announced length, but no further than this: the
// length is the server's word, not a reason to reserve gigabytes.
constexpr qint64 maxPresize = 64 * 1024 * 1024;

// libcurl's global state is set up once and never torn down: workers abandoned at
// exit may still be inside libcurl while static objects are destroyed.
void ensureCurl()
{
    static const bool initialised = [] {
        // A file size limit (ulimit -f) must end a download as a failed write that the
        // component reports, not end the whole program with SIGXFSZ.
        std::signal(SIGXFSZ, SIG_IGN);
        return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    }();
    Q_UNUSED(initialised);
}

// Characters that may not stand in a request line as they are.
QByteArray escapeUnsafe(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^'
            || c == '`' || c == '{' || c == '|' || c == '}') {
            out.append('%');
            out.append(hex[byte >> 4]);
            out.append(hex[byte & 0x0F]);
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

namespace upHTTPDetail {

// One transfer: the settings taken at its start, the worker's routine, and its results.
// The worker writes the results; the GUI thread reads them only while the worker waits
// in a main-thread call or after its routine has returned.
class Transfer
{
public:
    struct Settings
    {
        QString URL;
        QString OutputFileName;
        bool NoCache = false;
        QString AcceptTypes;
        QString UserAgent;
        TupHTTPProxy Proxy;
        TupHTTPTimeouts Timeouts;
        int TransferBufferSize = 4096;
        QString HTTPUsername;
        QString HTTPPassword;
        QString ProxyUsername;
        QString ProxyPassword;
        QString CAFile;
    };

    Transfer(TupCustomHTTP *owner, Settings settings)
        : settings(std::move(settings))
        , proxyUsername(this->settings.ProxyUsername)
        , proxyPassword(this->settings.ProxyPassword)
        , m_owner(owner)
    {
    }

    ~Transfer()
    {
        if (m_curl)
            curl_easy_cleanup(m_curl);
        if (m_headers)
            curl_slist_free_all(m_headers);
    }

    void run(TupWorker &worker);

    // Drops the body stream (closing an output file) once the worker is done with it.
    // Called on the GUI thread after a stop: whichever of the two comes last releases it.
    void releaseAfterStop()
    {
        std::lock_guard lock(m_streamMutex);
        if (m_runReturned)
            releaseStream();
    }

    void releaseStream()
    {
        stream.reset();
        m_block = QByteArray();
    }

    const Settings settings;

    int statusCode = -1;
    bool succeeded = false;
    bool tryAgain = false;
    bool continueTransfer = true;
    QString rawHeaders;
    QString contentType;
    QString contentLanguage;
    QString contentEncoding;
    QString location;
    QDateTime date;
    QDateTime lastModified;
    QDateTime expires;
    qint64 contentLength = 0;
    qint64 bytesRead = 0;
    TupTransferStatistics statistics;
    QString proxyUsername;
    QString proxyPassword;
    std::unique_ptr<QIODevice> stream;
    bool streamIsFile = false;
    bool writeFailed = false; // the body could not be stored; the output file goes
    bool outputFileFailed = false;
    bool completed = false;
    std::chrono::steady_clock::time_point startTick = std::chrono::steady_clock::now();

private:
    void runFile(const TupURLParts &parts);
    void endRun();
    void runHttp(const TupURLParts &parts);
    // Sets the transfer's handle up for one address: the steps below, in their order.
    void configure(const TupURLParts &parts);
    QByteArray proxyFor(const TupURLParts &parts, bool secure) const;
    void setTarget(const TupURLParts &parts, const QByteArray &url, const QByteArray &proxy, bool secure);
    void setTransportSecurity(bool secure);
    void setRedirectsAndAgent();
    void setRequestHeaders();
    void setCallbacks();
    void setHostCredentials(const QString &userName, const QString &password);
    void setProxyCredentials();
    // The response's headers are in: asks for credentials, takes the headers, offers
    // them to the component and opens the body's stream, each as a step below.
    void headerStep();
    void askForHostCredentials();
    void askForProxyCredentials();
    void takeResponseHeaders();
    bool offerHeaderInfo();
    // Every response body goes to the output file when one is named, also one without
    // a length header (downloads are expected there).
    void createStream(bool toFile);
    void takeBytes(const char *data, size_t size);
    void emitBlock(const QByteArray &block);
    void finishBody();
    void status(int code);
    // A request (or the connection for one) starts: the response to look at is the
    // one that answers it, not an earlier redirect or challenge.
    void newRequest()
    {
        m_responseSeen = false;
        m_headerLines.clear();
    }
    bool callOnMainThread(const std::function<void()> &routine);
    // Whether the component has a handler attached right now (false once abandoned).
    template<typename Event>
    bool attached(Event TupCustomHTTP::*event)
    {
        bool result = false;
        m_worker->runUnlessAbandoned([&] { result = bool(m_owner->*event); });
        return result;
    }
    // Whether the response whose headers just ended is the one the transfer delivers,
    // rather than one that libcurl answers by itself (an interim response, a redirect
    // it follows, an authentication challenge it retries with known credentials, the
    // proxy's answer to a tunnel request).
    bool finalResponse() const;
    QString header(const char *name) const;

    // curl callbacks; none lets an exception through the C frames.
    static size_t onHeader(char *data, size_t size, size_t count, void *self);
    static size_t onWrite(char *data, size_t size, size_t count, void *self);
    static int onProgress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *self);
    static int onResolverStart(void *, void *, void *self);
    static curl_socket_t onOpenSocket(void *self, curlsocktype purpose, struct curl_sockaddr *address);
    static int onCloseSocket(void *self, curl_socket_t socket);
    static int onPrereq(void *self, char *, char *, int, int);

    template<typename Function>
    bool guard(Function &&function)
    {
        try {
            function();
            return true;
        } catch (...) {
            if (!m_error)
                m_error = std::current_exception();
            return false;
        }
    }

    TupCustomHTTP *m_owner; // touched only on the GUI thread, inside main-thread calls
    TupWorker *m_worker = nullptr;
    CURL *m_curl = nullptr;
    curl_slist *m_headers = nullptr;
    std::exception_ptr m_error;

    // The response being received; a new request starts it over.
    QStringList m_headerLines;
    bool m_responseSeen = false;
    int m_responseStatus = 0;
    bool m_headerStepDone = false;
    bool m_retry = false;
    bool m_ended = false;    // the routine ends without the completeness rule
    bool m_broken = false;   // the body ended with a transport error
    bool m_resolving = false;
    bool m_connecting = false;
    bool m_requestSent = false;
    bool m_tunnelRequest = false;       // the request just sent is a CONNECT to the proxy
    bool m_hostCredentials = false;     // libcurl answers a 401 with these by itself
    bool m_proxyCredentials = false;    // libcurl answers a 407 with these by itself
    bool m_viaProxy = false;
    std::chrono::steady_clock::time_point m_connectedAt;
    std::chrono::steady_clock::time_point m_lastActivity;
    bool m_timedOut = false;
    QByteArray m_block;

    std::mutex m_streamMutex;
    bool m_runReturned = false;
};

bool Transfer::callOnMainThread(const std::function<void()> &routine)
{
    if (!m_worker->callOnMainThread(routine) || m_worker->abandoned())
        throw TupWorkerAbandoned();
    return true;
}

void Transfer::status(int code)
{
    if (!m_worker)
        return;
    // The component lives while the worker is not abandoned, and a handler detached
    // meanwhile is not called.
    m_worker->runUnlessAbandoned([&] {
        if (m_owner->OnStatusChange)
            m_owner->OnStatusChange.callOnWorker(m_owner, code, upStatusText(code));
    });
}

bool Transfer::finalResponse() const
{
    const int code = m_responseStatus;
    if (code >= 100 && code < 200)
        return false;
    if (m_tunnelRequest && code >= 200 && code < 300)
        return false;
    if ((code == 301 || code == 302 || code == 303 || code == 307 || code == 308) && !header("Location").isEmpty())
        return false;
    if (code == 401 && m_hostCredentials && !m_tunnelRequest)
        return false;
    if (code == 407 && m_proxyCredentials)
        return false;
    return true;
}

QString Transfer::header(const char *name) const
{
    const QString prefix = QLatin1String(name) + QLatin1Char(':');
    for (qsizetype i = 1; i < m_headerLines.size(); ++i) {
        const QString &line = m_headerLines.at(i);
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size()).trimmed();
    }
    return {};
}

void Transfer::run(TupWorker &worker)
{
    m_worker = &worker;
    try {
        TupURLParts parts;
        upCrackURL(settings.URL, parts);
        if (parts.UserName.isEmpty())
            parts.UserName = settings.HTTPUsername;
        if (parts.Password.isEmpty())
            parts.Password = settings.HTTPPassword;
        if (parts.Scheme == QLatin1String("file"))
            runFile(parts);
        else
            runHttp(parts);
    } catch (...) {
        endRun();
        throw;
    }
    endRun();
}

void Transfer::endRun()
{
    // The handles close here, on the worker, where the status notifications of the
    // closing connection belong.
    if (m_curl) {
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
    std::lock_guard lock(m_streamMutex);
    m_runReturned = true;
    if (m_worker->abandoned())
        releaseStream();
    m_worker = nullptr;
}

void Transfer::runFile(const TupURLParts &parts)
{
    QFile input(QUrl::fromPercentEncoding(parts.UrlPath.toUtf8()));
    const bool opened = input.open(QIODevice::ReadOnly);
    contentLength = opened ? input.size() : 0;
    statusCode = opened ? 200 : 404;
    succeeded = opened;
    createStream(opened && !settings.OutputFileName.isEmpty());
    if (m_ended)
        return;
    bytesRead = 0;
    if (opened) {
        const qint64 blockSize = settings.TransferBufferSize;
        for (;;) {
            const QByteArray block = input.read(blockSize);
            if (block.isEmpty())
                break;
            emitBlock(block);
            if (m_ended)
                return;
        }
    }
    finishBody();
}

// The proxy a plain request for `scheme` would take from the environment, as libcurl
// reads it; empty when none is named.
QByteArray environmentProxy(const QString &scheme)
{
    const QByteArray own = scheme.toLatin1() + "_proxy";
    for (const QByteArray &name : {own, own.toUpper(), QByteArray("all_proxy"), QByteArray("ALL_PROXY")}) {
        // libcurl ignores HTTP_PROXY in upper case (a CGI program's environment may
        // carry it from a request header).
        if (name == "HTTP_PROXY")
            continue;
        const QByteArray value = qgetenv(name.constData());
        if (!value.isEmpty())
            return value;
    }
    return {};
}

// The address of the request as libcurl takes it: the host (an IPv6 one in brackets),
// the port and the path, "/" when there is none.
QByteArray requestUrl(const TupURLParts &parts, bool secure)
{
    QString host = parts.HostName;
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    QByteArray url = secure ? "https://" : "http://";
    url += escapeUnsafe(host);
    url += ':' + QByteArray::number(parts.Port);
    url += parts.UrlPath.isEmpty() ? QByteArray("/") : escapeUnsafe(parts.UrlPath);
    url += escapeUnsafe(parts.ExtraInfo);
    return url;
}

void Transfer::configure(const TupURLParts &parts)
{
    const bool secure = parts.Scheme == QLatin1String("https");
    const QByteArray url = requestUrl(parts, secure);
    const QByteArray proxy = proxyFor(parts, secure);
    m_viaProxy = !proxy.isEmpty();

    setTarget(parts, url, proxy, secure);
    setTransportSecurity(secure);
    setRedirectsAndAgent();
    setRequestHeaders();
    if (!parts.UserName.isEmpty() || !parts.Password.isEmpty())
        setHostCredentials(parts.UserName, parts.Password);
    if (settings.Timeouts.ConnectTimeout != 0)
        curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, long(settings.Timeouts.ConnectTimeout));
    setCallbacks();
}

// The proxy the settings choose for this address; empty: none.
QByteArray Transfer::proxyFor(const TupURLParts &parts, bool secure) const
{
    switch (settings.Proxy.AccessType) {
    case atPreconfig:
        return environmentProxy(secure ? QStringLiteral("https") : QStringLiteral("http"));
    case atDirect:
        break;
    case atUseProxy:
        if (!upProxyBypassed(settings.Proxy.ProxyBypass, parts.HostName, parts.Port))
            return (settings.Proxy.ProxyServer + QLatin1Char(':') + QString::number(settings.Proxy.ProxyPort)).toUtf8();
        break;
    }
    return {};
}

void Transfer::setTarget(const TupURLParts &parts, const QByteArray &url, const QByteArray &proxy, bool secure)
{
    if (parts.HostName.isEmpty() && m_viaProxy) {
        // An address without a host goes to the proxy as it is, and the proxy answers
        // it; libcurl refuses such an address, so the proxy is addressed directly.
        const QUrl proxyUrl = QUrl::fromUserInput(QString::fromUtf8(proxy));
        QByteArray direct = "http://" + proxyUrl.host(QUrl::FullyEncoded).toUtf8() + ':'
                            + QByteArray::number(proxyUrl.port(1080)) + '/';
        curl_easy_setopt(m_curl, CURLOPT_URL, direct.constData());
        curl_easy_setopt(m_curl, CURLOPT_PROXY, "");
        if (secure) {
            curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, "CONNECT");
            curl_easy_setopt(m_curl, CURLOPT_REQUEST_TARGET, (":" + QByteArray::number(parts.Port)).constData());
        } else {
            curl_easy_setopt(m_curl, CURLOPT_REQUEST_TARGET, url.constData());
        }
    } else {
        curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(m_curl, CURLOPT_PROXY, proxy.constData());
        curl_easy_setopt(m_curl, CURLOPT_NOPROXY, "");
    }
}

// Plain GETs over HTTP(S) only, certificates checked against the system's authorities
// and the extra ones the settings name.
void Transfer::setTransportSecurity(bool secure)
{
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // What came over HTTPS is not handed on to plain HTTP.
    curl_easy_setopt(m_curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.CAFile.isEmpty()) {
        // The system's authorities and the extra ones together: libcurl takes one bundle.
        QByteArray bundle;
        char *systemBundle = nullptr;
        if (curl_easy_getinfo(m_curl, CURLINFO_CAINFO, &systemBundle) == CURLE_OK && systemBundle) {
            QFile system(QFile::decodeName(systemBundle));
            if (system.open(QIODevice::ReadOnly))
                bundle = system.readAll() + '\n';
        }
        QFile extra(settings.CAFile);
        if (extra.open(QIODevice::ReadOnly))
            bundle += extra.readAll();
        curl_blob blob{bundle.data(), size_t(bundle.size()), CURL_BLOB_COPY};
        curl_easy_setopt(m_curl, CURLOPT_CAINFO_BLOB, &blob);
    }
}

void Transfer::setRedirectsAndAgent()
{
    curl_easy_setopt(m_curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(m_curl, CURLOPT_MAXREDIRS, 30L);
    curl_easy_setopt(m_curl, CURLOPT_USERAGENT, settings.UserAgent.toUtf8().constData());
    if (m_viaProxy && (!proxyUsername.isEmpty() || !proxyPassword.isEmpty()))
        setProxyCredentials();
}

void Transfer::setRequestHeaders()
{
    m_headers = curl_slist_append(m_headers, ("Accept: " + settings.AcceptTypes.toUtf8()).constData());
    if (settings.NoCache) {
        m_headers = curl_slist_append(m_headers, "Pragma: no-cache");
        m_headers = curl_slist_append(m_headers, "Cache-Control: no-cache");
    }
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, m_headers);
}

void Transfer::setCallbacks()
{
    curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &Transfer::onWrite);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, &Transfer::onDebug);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_RESOLVER_START_FUNCTION, &Transfer::onResolverStart);
    curl_easy_setopt(m_curl, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(m_curl, CURLOPT_OPENSOCKETFUNCTION, &Transfer::onOpenSocket);
    curl_easy_setopt(m_curl, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_CLOSESOCKETFUNCTION, &Transfer::onCloseSocket);
    curl_easy_setopt(m_curl, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_PREREQFUNCTION, &Transfer::onPrereq);
    curl_easy_setopt(m_curl, CURLOPT_PREREQDATA, this);
}

void Transfer::setHostCredentials(const QString &userName, const QString &password)
{
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, userName.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, password.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    m_hostCredentials = true;
}

void Transfer::setProxyCredentials()
{
    curl_easy_setopt(m_curl, CURLOPT_PROXYUSERNAME, proxyUsername.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_PROXYPASSWORD, proxyPassword.toUtf8().constData());
    curl_easy_setopt(m_curl, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    m_proxyCredentials = true;
}

void Transfer::runHttp(const TupURLParts &parts)
{
    m_curl = curl_easy_init();
    succeeded = m_curl != nullptr;
    if (!m_curl)
        return;
    configure(parts);

    for (;;) {
        tryAgain = false;
        newRequest();
        m_headerStepDone = false;
        m_retry = false;
        m_broken = false;
        const CURLcode result = curl_easy_perform(m_curl);
        if (m_error)
            std::rethrow_exception(m_error);
        if (m_worker->abandoned())
            throw TupWorkerAbandoned();
        if (!m_headerStepDone) {
            if (!m_responseSeen) {
                // No response could be obtained: StatusCode stays -1.
                succeeded = false;
                return;
            }
            headerStep();
            if (m_error)
                std::rethrow_exception(m_error);
        }
        if (!m_retry && !m_ended && result != CURLE_OK)
            m_broken = true;
        if (m_retry) {
            if (statusCode == 407)
                setProxyCredentials();
            continue;
        }
        break;
    }
    if (m_ended)
        return;
    finishBody();
}

void Transfer::headerStep()
{
    m_headerStepDone = true;
    statusCode = m_responseStatus;
    succeeded = true;

    if (statusCode == 401 && attached(&TupCustomHTTP::OnPasswordRequired))
        askForHostCredentials();
    else if (statusCode == 407 && attached(&TupCustomHTTP::OnProxyAuthenticationRequest))
        askForProxyCredentials();
    if (tryAgain) {
        m_retry = true;
        return;
    }
    takeResponseHeaders();
    if (!offerHeaderInfo()) {
        m_ended = true;
        return;
    }
    createStream(!settings.OutputFileName.isEmpty());
}

// OnPasswordRequired, given the realm the server names; its answer is tried next.
void Transfer::askForHostCredentials()
{
    const QString authenticate = header("WWW-Authenticate");
    const qsizetype quote = authenticate.indexOf(QLatin1String("=\""));
    if (quote < 0) {
        contentType = authenticate;
    } else {
        contentType = authenticate.mid(quote + 2);
        contentType.chop(1); // the closing quotation mark
    }
    QString userName;
    QString password;
    callOnMainThread([&] {
        QPointer<TupCustomHTTP> owner = m_owner;
        owner->takeResults(*this);
        owner->TryAgain = tryAgain;
        if (owner->OnPasswordRequired && !owner->isDestroying())
            owner->OnPasswordRequired(owner, owner->ContentType, owner->TryAgain);
        if (!owner)
            return; // the handler deleted the component
        tryAgain = owner->TryAgain;
        userName = owner->HTTPUsername;
        password = owner->HTTPPassword;
    });
    setHostCredentials(userName, password);
}

// OnProxyAuthenticationRequest; the retry sets the credentials it gives.
void Transfer::askForProxyCredentials()
{
    callOnMainThread([&] {
        QPointer<TupCustomHTTP> owner = m_owner;
        owner->takeResults(*this);
        owner->TryAgain = tryAgain;
        if (owner->OnProxyAuthenticationRequest && !owner->isDestroying())
            owner->OnProxyAuthenticationRequest(owner, owner->ProxyUsername, owner->ProxyPassword, owner->TryAgain);
        if (!owner)
            return;
        tryAgain = owner->TryAgain;
        proxyUsername = owner->ProxyUsername;
        proxyPassword = owner->ProxyPassword;
    });
}

// The results the response's headers give; without a length header the transfer
// does not count as succeeded.
void Transfer::takeResponseHeaders()
{
    const QString type = header("Content-Type");
    if (!type.isEmpty())
        contentType = type;
    const QString length = header("Content-Length");
    bool isNumber = false;
    contentLength = length.toLongLong(&isNumber);
    if (!isNumber)
        contentLength = 0;
    succeeded = !length.isEmpty();

    rawHeaders = m_headerLines.join(QString());
    contentLanguage = header("Content-Language");
    contentEncoding = header("Content-Encoding");
    location = header("Location");
    date = upHTTPDateToDateTime(header("Date"));
    lastModified = upHTTPDateToDateTime(header("Last-Modified"));
    expires = upHTTPDateToDateTime(header("Expires"));
}

// OnHeaderInfo, when attached; false when its handler stops the transfer.
bool Transfer::offerHeaderInfo()
{
    if (!attached(&TupCustomHTTP::OnHeaderInfo))
        return true;
    callOnMainThread([&] {
        QPointer<TupCustomHTTP> owner = m_owner;
        owner->takeResults(*this);
        if (owner->OnHeaderInfo && !owner->isDestroying()) {
            owner->OnHeaderInfo(owner, owner->RawHeaders, owner->ContentType, owner->ContentLanguage,
                                owner->ContentEncoding, owner->Location, owner->ContentLength, owner->Date,
                                owner->LastModified, owner->Expires, owner->ContinueTransfer);
        }
        if (!owner)
            return;
        continueTransfer = owner->ContinueTransfer;
    });
    return continueTransfer;
}

void Transfer::createStream(bool toFile)
{
    if (toFile) {
        bool created = false;
        m_worker->runUnlessAbandoned([&] {
            QFile::remove(settings.OutputFileName);
            auto file = std::make_unique<QFile>(settings.OutputFileName);
            // Unbuffered, so that nothing reaches the file after a stop.
            if (file->open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
                stream = std::move(file);
                streamIsFile = true;
                created = true;
            }
        });
        if (m_worker->abandoned())
            throw TupWorkerAbandoned();
        if (!created) {
            // Without a stream the completion reports only OnTransferError.
            succeeded = true;
            m_ended = true;
            outputFileFailed = true;
        }
    } else {
        auto buffer = std::make_unique<QBuffer>();
        buffer->buffer().reserve(qBound<qint64>(0, contentLength, maxPresize));
        buffer->open(QIODevice::ReadWrite);
        stream = std::move(buffer);
    }
    bytesRead = 0;
    m_block.reserve(qMin(settings.TransferBufferSize, 1024 * 1024));
}

void Transfer::takeBytes(const char *data, size_t size)
{
    const qsizetype blockSize = settings.TransferBufferSize;
    while (size > 0) {
        const auto room = static_cast<size_t>(blockSize - m_block.size());
        const size_t take = std::min(room, size);
        m_block.append(data, static_cast<qsizetype>(take));
        data += take;
        size -= take;
        if (m_block.size() == blockSize) {
            emitBlock(m_block);
            m_block.clear();
            if (m_ended)
                return;
        }
    }
}

void Transfer::emitBlock(const QByteArray &block)
{
    bool written = true;
    if (!m_worker->runUnlessAbandoned([&] {
            stream->seek(stream->size());
            written = stream->write(block) == block.size();
        }))
        throw TupWorkerAbandoned();
    if (!written) {
        // A full disk or a file size limit: the transfer has failed, whatever the
        // server still sends, and the completion deletes what was written.
        writeFailed = true;
        outputFileFailed = true;
        succeeded = false;
        m_ended = true;
        return;
    }
    bytesRead += block.size();
    if (!attached(&TupCustomHTTP::OnTransferProgress))
        return;
    callOnMainThread([&] {
        auto *owner = m_owner;
        statistics = upTransferStatistics(contentLength, bytesRead,
                                          std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - startTick)
                                              .count());
        owner->takeResults(*this);
        if (owner->OnTransferProgress && !owner->isDestroying()) {
            owner->OnTransferProgress(owner, owner->ContentType, owner->ContentLength, owner->BytesRead,
                                      owner->ElapsedTime, owner->EstimatedTimeLeft, owner->PercentsDone,
                                      owner->TransferRate, stream.get());
        }
    });
}

void Transfer::finishBody()
{
    if (!m_block.isEmpty()) {
        const QByteArray rest = m_block;
        m_block.clear();
        emitBlock(rest);
        if (m_ended)
            return;
    }
    succeeded = statusCode == 200 && !m_broken;
    if (succeeded && contentLength != 0 && stream)
        succeeded = contentLength == bytesRead;
}

// --- curl callbacks (worker) ----------------------------------------------------------

size_t Transfer::onHeader(char *data, size_t size, size_t count, void *self)
{
    auto *t = static_cast<Transfer *>(self);
    const size_t length = size * count;
    if (t->m_error)
        return 0; // a callback that cannot stop curl itself failed
    bool stop = false; // a resend or a skipped body ends this send here
    const bool ok = t->guard([&] {
        t->m_lastActivity = std::chrono::steady_clock::now();
        const QString line = QString::fromLatin1(data, static_cast<qsizetype>(length));
        if (line.startsWith(QLatin1String("HTTP/"))) {
            t->m_headerLines = {line};
            t->m_responseSeen = true;
            bool isNumber = false;
            t->m_responseStatus = line.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty).toInt(&isNumber);
            if (!isNumber)
                t->m_responseStatus = 0;
            t->status(usReceivingResponse);
            return;
        }
        if (!t->m_responseSeen)
            return;
        t->m_headerLines.append(line);
        if (line.trimmed().isEmpty()) {
            t->status(usResponseReceived);
            const int code = t->m_responseStatus;
            const QString target = t->header("Location");
            if ((code == 301 || code == 302 || code == 303 || code == 307 || code == 308) && !target.isEmpty()) {
                char *current = nullptr;
                curl_easy_getinfo(t->m_curl, CURLINFO_EFFECTIVE_URL, &current);
                const QString next = QUrl(QString::fromUtf8(current)).resolved(QUrl(target)).toString();
                t->status(usRedirect);
                t->m_worker->runUnlessAbandoned([&] {
                    if (t->m_owner->OnRedirect)
                        t->m_owner->OnRedirect.callOnWorker(t->m_owner, next);
                });
            }
            // The headers are reported as soon as they are complete, not with the first
            // bytes of the body.
            if (!t->m_headerStepDone && t->finalResponse()) {
                t->headerStep();
                stop = t->m_retry || t->m_ended;
            }
        }
    });
    return ok && !stop ? length : 0;
}

size_t Transfer::onWrite(char *data, size_t size, size_t count, void *self)
{
    auto *t = static_cast<Transfer *>(self);
    const size_t length = size * count;
    if (t->m_error)
        return CURL_WRITEFUNC_ERROR;
    bool stop = false;
    const bool ok = t->guard([&] {
        t->m_lastActivity = std::chrono::steady_clock::now();
        if (!t->m_headerStepDone)
            t->headerStep();
        // A resend or a skipped body ends this send here.
        stop = t->m_retry || t->m_ended;
        if (!stop) {
            t->takeBytes(data, length);
            stop = t->m_ended; // the body could not be stored
        }
    });
    return ok && !stop ? length : CURL_WRITEFUNC_ERROR;
}

int Transfer::onProgress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *t = static_cast<Transfer *>(self);
    if (t->m_worker->abandoned() || t->m_error)
        return 1;
    const auto now = std::chrono::steady_clock::now();
    const auto &timeouts = t->settings.Timeouts;
    if (timeouts.ReceiveTimeout != 0 && t->m_requestSent
        && now - t->m_lastActivity > std::chrono::milliseconds(timeouts.ReceiveTimeout)) {
        t->m_timedOut = true;
        return 1;
    }
    if (timeouts.SendTimeout != 0 && t->m_connectedAt != std::chrono::steady_clock::time_point()
        && !t->m_requestSent && now - t->m_connectedAt > std::chrono::milliseconds(timeouts.SendTimeout)) {
        t->m_timedOut = true;
        return 1;
    }
    return 0;
}

int Transfer::onDebug(CURL *, curl_infotype type, char *data, size_t size, void *self)
{
    auto *t = static_cast<Transfer *>(self);
    if (type == CURLINFO_HEADER_OUT) {
        t->guard([&] {
            t->newRequest();
            t->m_tunnelRequest = QByteArray::fromRawData(data, qsizetype(size)).startsWith("CONNECT ");
            t->m_requestSent = true;
            t->m_lastActivity = std::chrono::steady_clock::now();
            t->status(usRequestSent);
        });
    }
    return 0;
}

int Transfer::onResolverStart(void *, void *, void *self)
{
    auto *t = static_cast<Transfer *>(self);
    const bool ok = t->guard([&] {
        t->newRequest();
        t->m_resolving = true;
        t->status(usResolvingName);
    });
    return ok ? 0 : 1;
}

curl_socket_t Transfer::onOpenSocket(void *self, curlsocktype, struct curl_sockaddr *address)
{
    auto *t = static_cast<Transfer *>(self);
    const bool ok = t->guard([&] {
        t->newRequest();
        if (t->m_resolving) {
            t->m_resolving = false;
            t->status(usNameResolved);
        }
        t->m_connecting = true;
        t->status(usConnectingToServer);
    });
    if (!ok)
        return CURL_SOCKET_BAD;
    return socket(address->family, address->socktype, address->protocol);
}

int Transfer::onCloseSocket(void *self, curl_socket_t socket)
{
    auto *t = static_cast<Transfer *>(self);
    // The socket is closed whatever a status handler does.
    t->guard([&] { t->status(usClosingConnection); });
    const int result = close(socket);
    t->guard([&] { t->status(usConnectionClosed); });
    return result;
}

int Transfer::onPrereq(void *self, char *, char *, int, int)
{
    auto *t = static_cast<Transfer *>(self);
    const bool ok = t->guard([&] {
        if (t->m_connecting) {
            t->m_connecting = false;
            t->status(usConnectedToServer);
        }
        t->m_connectedAt = std::chrono::steady_clock::now();
        t->m_requestSent = false;
        t->status(usSendingRequest);
    });
    return ok ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

} // namespace upHTTPDetail

using upHTTPDetail::Transfer;

// ---------------------------------------------------------------------------------------

TupLoginComponent::TupLoginComponent(QObject *owner)
    : QObject(owner)
{
}

bool TupLoginComponent::storesLoginInfo() const
{
    return !HTTPUsername.isEmpty() || !HTTPPassword.isEmpty();
}

QByteArray TupLoginComponent::LInfo() const
{
    return upWriteLoginInfo(HTTPUsername, HTTPPassword);
}

bool TupLoginComponent::setLInfo(const QByteArray &data)
{
    return upReadLoginInfo(data, HTTPUsername, HTTPPassword);
}

// ---------------------------------------------------------------------------------------

TupCustomHTTP::TupCustomHTTP(QObject *owner)
    : TupLoginComponent(owner)
    , UserAgent(QStringLiteral("TupCustomHTTP (Quillmora)"))
    , m_worker(new TupCustomThread(this))
{
    ensureCurl();
    m_worker->setOnException([this](const std::exception_ptr &) { transferException(); });
    m_worker->setOnFinish([this] {
        if (auto transfer = m_transfer)
            complete(transfer);
    });
}

TupCustomHTTP::~TupCustomHTTP()
{
    prepareDestruction();
}

void TupCustomHTTP::prepareDestruction()
{
    if (m_destroying)
        return;
    m_destroying = true;
    m_worker->beginOwnerDestruction();
    if (m_transfer)
        m_transfer->releaseAfterStop();
    m_transfer.reset();
}

bool TupCustomHTTP::Busy() const
{
    return m_worker->Busy();
}

void TupCustomHTTP::setTransferBufferSize(int size)
{
    m_transferBufferSize = qMax(255, size);
}

TThreadPriority TupCustomHTTP::ThreadPriority() const
{
    return m_worker->Priority();
}

void TupCustomHTTP::setThreadPriority(TThreadPriority priority)
{
    m_worker->setPriority(priority);
}

bool TupCustomHTTP::StartTransfer()
{
    if (Busy() || m_destroying)
        return false;
    if (m_transfer && !m_transfer->completed) {
        // Finished but not yet completed: its completion is dropped with its worker.
        m_worker->Stop();
        m_transfer->releaseAfterStop();
    }

    Transfer::Settings settings;
    settings.URL = URL;
    settings.OutputFileName = OutputFileName;
    settings.NoCache = NoCache;
    settings.AcceptTypes = AcceptTypes;
    settings.UserAgent = UserAgent;
    settings.Proxy = Proxy;
    settings.Timeouts = Timeouts;
    settings.TransferBufferSize = m_transferBufferSize;
    settings.HTTPUsername = HTTPUsername;
    settings.HTTPPassword = HTTPPassword;
    settings.ProxyUsername = ProxyUsername;
    settings.ProxyPassword = ProxyPassword;
    settings.CAFile = CAFile;

    auto transfer = std::make_shared<Transfer>(this, std::move(settings));
    m_transfer = transfer;
    StatusCode = -1;
    ContentType.clear();
    ContinueTransfer = true;
    m_worker->setOnExecute([transfer](TupWorker &worker) { transfer->run(worker); });
    return m_worker->Start();
}

void TupCustomHTTP::AbortTransfer()
{
    const bool busy = Busy();
    auto transfer = m_transfer;
    if (transfer && !transfer->completed) {
        m_worker->Stop();
        transfer->releaseAfterStop();
    }
    m_transfer.reset();
    if (busy && OnTransferAborted && !m_destroying)
        OnTransferAborted(this);
}

void TupCustomHTTP::takeResults(const Transfer &transfer)
{
    StatusCode = transfer.statusCode;
    Succeeded = transfer.succeeded;
    TryAgain = transfer.tryAgain;
    ContinueTransfer = transfer.continueTransfer;
    RawHeaders = transfer.rawHeaders;
    ContentType = transfer.contentType;
    ContentLanguage = transfer.contentLanguage;
    ContentEncoding = transfer.contentEncoding;
    Location = transfer.location;
    Date = transfer.date;
    LastModified = transfer.lastModified;
    Expires = transfer.expires;
    OutputFileFailed = transfer.outputFileFailed;
    ContentLength = transfer.contentLength;
    BytesRead = transfer.bytesRead;
    PercentsDone = transfer.statistics.PercentsDone;
    ElapsedTime = transfer.statistics.ElapsedTime;
    EstimatedTimeLeft = transfer.statistics.EstimatedTimeLeft;
    TransferRate = transfer.statistics.TransferRate;
}

void TupCustomHTTP::transferException()
{
    if (OnTransferError && !m_destroying)
        OnTransferError(this);
}

void TupCustomHTTP::complete(const std::shared_ptr<Transfer> &transfer)
{
    // A handler may start the next transfer, or delete this component; everything
    // below works on this transfer and stops once the component is gone.
    QPointer<TupCustomHTTP> self(this);
    auto raise = [&](auto &handler, auto &&...arguments) {
        if (self && handler && !m_destroying)
            handler(this, arguments...);
        return bool(self);
    };

    transfer->completed = true;
    takeResults(*transfer);
    QIODevice *stream = transfer->stream.get();
    if (stream)
        stream->seek(0);

    if (transfer->writeFailed) {
        // Never a success, and nothing of the body stays behind.
        const bool toFile = transfer->streamIsFile;
        transfer->releaseStream();
        if (toFile)
            QFile::remove(transfer->settings.OutputFileName);
        raise(OnTransferError);
        return;
    }

    bool failedWithFile = false;
    if (transfer->continueTransfer) {
        if (transfer->succeeded) {
            if (!stream) {
                raise(OnTransferError);
                return;
            }
            if (transfer->streamIsFile) {
                transfer->releaseStream();
                stream = nullptr;
            }
            if (!raise(OnDone, ContentType, BytesRead, stream))
                return;
        } else {
            if (!raise(OnTransferError))
                return;
            const int status = transfer->statusCode;
            bool alive;
            if (status == 200)
                alive = raise(OnConnectionLost, transfer->contentType, transfer->contentLength, transfer->bytesRead, stream);
            else if (status == -1)
                alive = raise(OnNoResponse);
            else
                alive = raise(OnHTTPError, status, stream);
            failedWithFile = transfer->streamIsFile;
            if (!alive) {
                transfer->releaseStream();
                if (failedWithFile)
                    QFile::remove(transfer->settings.OutputFileName);
                return;
            }
        }
    }
    transfer->releaseStream();
    if (failedWithFile)
        QFile::remove(transfer->settings.OutputFileName);
    if (!transfer->continueTransfer)
        raise(OnNotContinued);
}
