#include "upUtils.h"

#include "apperror.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <cmath>
#include <optional>

namespace {

// Sizes of the split's buffers, terminating zero included.
constexpr int schemeSize = 33;
constexpr int hostSize = 257;
constexpr int userSize = 129;
constexpr int passwordSize = 129;
constexpr int pathSize = 2049;
constexpr int extraSize = 2049;

int defaultPort(const QString &scheme)
{
    const QString lower = scheme.toLower();
    if (lower == QLatin1String("http"))
        return 80;
    if (lower == QLatin1String("https"))
        return 443;
    if (lower == QLatin1String("ftp"))
        return 21;
    if (lower == QLatin1String("gopher"))
        return 70;
    return 0;
}

bool crack(const QString &url, TupURLParts &parts)
{
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    parts.Scheme = url.left(schemeEnd);
    if (parts.Scheme.isEmpty())
        return false;
    QString rest = url.mid(schemeEnd + 3);

    const qsizetype pathStart = rest.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    QString authority = pathStart < 0 ? rest : rest.left(pathStart);
    QString tail = pathStart < 0 ? QString() : rest.mid(pathStart);

    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        parts.UserName = colon < 0 ? userInfo : userInfo.left(colon);
        parts.Password = colon < 0 ? QString() : userInfo.mid(colon + 1);
    }

    QString portText;
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        parts.HostName = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':')))
                return false;
            portText = after.mid(1);
        }
    } else {
        const qsizetype colon = authority.indexOf(QLatin1Char(':'));
        parts.HostName = colon < 0 ? authority : authority.left(colon);
        portText = colon < 0 ? QString() : authority.mid(colon + 1);
    }

    parts.Port = defaultPort(parts.Scheme);
    if (!portText.isEmpty()) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
        if (!digits.match(portText).hasMatch())
            return false;
        const int port = portText.toInt();
        if (port > 65535)
            return false;
        parts.Port = port;
    }

    const qsizetype extraStart = tail.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    parts.UrlPath = extraStart < 0 ? tail : tail.left(extraStart);
    parts.ExtraInfo = extraStart < 0 ? QString() : tail.mid(extraStart);

    return parts.Scheme.toLatin1().size() < schemeSize && parts.HostName.toUtf8().size() < hostSize
        && parts.UserName.toUtf8().size() < userSize && parts.Password.toUtf8().size() < passwordSize
        && parts.UrlPath.toUtf8().size() < pathSize && parts.ExtraInfo.toUtf8().size() < extraSize;
}

// --- header dates --------------------------------------------------------------

std::optional<int> number(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

int monthNumber(const QString &text)
{
    static const char *const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const QString upper = text.toUpper();
    for (int i = 0; i < 12; ++i) {
        if (upper == QLatin1String(months[i]))
            return i + 1;
    }
    return 0;
}

QString trimLeft(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return text.mid(i);
}

// Takes the text up to separator off the front of text (separator removed too, the
// rest trimmed on the left); without a separator the whole text is taken.
QString takeToken(QString &text, QChar separator)
{
    const qsizetype at = text.indexOf(separator);
    QString token;
    if (at < 0) {
        token = text;
        text.clear();
    } else {
        token = text.left(at);
        text = trimLeft(text.mid(at + 1));
    }
    return token;
}

// The date and time of the text, as written (no zone applied); remaining receives
// what follows the time.
std::optional<QDateTime> parseDate(QString s, QString &remaining)
{
    static const char *const weekdays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    const QString head = s.left(3).toUpper();
    for (const char *day : weekdays) {
        if (head == QLatin1String(day)) {
            const qsizetype blank = s.indexOf(QLatin1Char(' '));
            if (blank >= 0)
                s = s.mid(blank + 1);
            s = trimLeft(s);
            break;
        }
    }

    const qsizetype dash = s.indexOf(QLatin1Char('-'));
    const qsizetype blank = s.indexOf(QLatin1Char(' '));
    QChar separator = QLatin1Char(' ');
    if (dash > 0 && blank >= 0 && dash < blank)
        separator = QLatin1Char('-');

    QString dayText;
    QString monthText;
    const qsizetype firstSeparator = s.indexOf(separator);
    if (monthNumber(firstSeparator < 0 ? s : s.left(firstSeparator)) != 0) {
        monthText = takeToken(s, separator);
        dayText = takeToken(s, separator);
    } else {
        dayText = takeToken(s, separator);
        monthText = takeToken(s, separator);
    }
    const int day = number(dayText).value_or(1);
    const int month = monthNumber(monthText);

    QString yearText = takeToken(s, QLatin1Char(' '));
    std::optional<int> year = number(yearText);
    if (!year) {
        // asctime form: the time comes before the year.
        year = number(s);
        if (!year)
            return std::nullopt;
        s = yearText;
    }
    int y = *year;
    if (y >= 0 && y <= 79)
        y += 2000;
    else if (y >= 80 && y <= 99)
        y += 1900;

    const QDate date(y, month, day);
    if (!date.isValid())
        return std::nullopt;

    QTime time(0, 0);
    if (s.contains(QLatin1Char(':'))) {
        const QStringList fields = takeToken(s, QLatin1Char(' ')).split(QLatin1Char(':'));
        const int hours = number(fields.value(0)).value_or(0);
        const int minutes = number(fields.value(1)).value_or(0);
        const int seconds = number(fields.value(2)).value_or(0);
        time = QTime(hours, minutes, seconds);
        if (!time.isValid())
            return std::nullopt;
    }
    remaining = s;
    return QDateTime(date, time, QTimeZone::utc());
}

int zoneOffsetMinutes(const QString &remaining)
{
    const QString zone = trimLeft(remaining);
    if (zone.size() <= 4)
        return 0;
    const QChar sign = zone.at(0);
    if (sign != QLatin1Char('+') && sign != QLatin1Char('-'))
        return 0;
    const int hours = number(zone.mid(1, 2)).value_or(0);
    const int minutes = number(zone.mid(3, 2)).value_or(0);
    const int offset = hours * 60 + minutes;
    return sign == QLatin1Char('-') ? -offset : offset;
}

// --- proxy bypass -----------------------------------------------------------------

bool wildcardMatch(const QString &pattern, const QString &text)
{
    // Iterative glob match with backtracking to the last "*".
    qsizetype p = 0, t = 0, star = -1, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size()
            && (pattern.at(p) == QLatin1Char('?') || pattern.at(p).toLower() == text.at(t).toLower())) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            star = p++;
            mark = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

// --- stored credentials ----------------------------------------------------------

char scrambleKey(int index)
{
    return static_cast<char>((0xA5 + 61 * index) & 0xFF);
}

QByteArray scramble(QByteArray bytes)
{
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ scrambleKey(i));
    return bytes;
}

} // namespace

bool upCrackURL(const QString &url, TupURLParts &parts)
{
    const QString address = url.contains(QLatin1String("://")) ? url : QStringLiteral("http://") + url;
    TupURLParts result;
    if (!crack(address, result)) {
        parts = TupURLParts();
        return false;
    }
    parts = result;
    return true;
}

QDateTime upHTTPDateToDateTime(const QString &text)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return {};
    QString remaining;
    const auto written = parseDate(s, remaining);
    if (!written)
        return {};
    return written->addSecs(-60LL * zoneOffsetMinutes(remaining)).toLocalTime();
}

bool upProxyBypassed(const QString &bypassList, const QString &host, int port)
{
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    const QStringList entries = bypassList.split(separators, Qt::SkipEmptyParts);
    for (QString entry : entries) {
        if (entry.compare(QLatin1String("<local>"), Qt::CaseInsensitive) == 0) {
            if (!host.isEmpty() && !host.contains(QLatin1Char('.')) && !host.contains(QLatin1Char(':')))
                return true;
            continue;
        }
        const qsizetype scheme = entry.indexOf(QLatin1String("://"));
        if (scheme >= 0)
            entry = entry.mid(scheme + 3);
        const QString target = entry.contains(QLatin1Char(':')) ? host + QLatin1Char(':') + QString::number(port) : host;
        if (wildcardMatch(entry, target))
            return true;
    }
    return false;
}

TupTransferStatistics upTransferStatistics(qint64 contentLength, qint64 bytesRead, qint64 elapsedMilliseconds)
{
    TupTransferStatistics stats;
    // nearbyint rounds halves to even in the default rounding mode.
    if (contentLength != 0)
        stats.PercentsDone = static_cast<int>(std::nearbyint(double(bytesRead) * 100.0 / double(contentLength)));
    stats.ElapsedTime = elapsedMilliseconds / 1000;
    if (contentLength > 0 && bytesRead > 0) {
        const auto total = static_cast<qint64>(
            std::nearbyint(double(contentLength) / double(bytesRead) * double(stats.ElapsedTime)));
        stats.EstimatedTimeLeft = std::max<qint64>(0, total - stats.ElapsedTime);
    }
    stats.TransferRate = static_cast<float>(double(bytesRead) / 1024.0);
    if (stats.ElapsedTime != 0)
        stats.TransferRate = static_cast<float>(double(bytesRead) / 1024.0 / double(stats.ElapsedTime));
    return stats;
}

QString upStatusText(int code)
{
    switch (code) {
    case usResolvingName: return QStringLiteral("Resolving name");
    case usNameResolved: return QStringLiteral("Name resolved");
    case usConnectingToServer: return QStringLiteral("Connecting to server");
    case usConnectedToServer: return QStringLiteral("Connected");
    case usSendingRequest: return QStringLiteral("Sending Request");
    case usRequestSent: return QStringLiteral("Request sent");
    case usReceivingResponse: return QStringLiteral("Receiving response");
    case usResponseReceived: return QStringLiteral("Response received");
    case usCtlResponseReceived: return QStringLiteral("CTL Response received");
    case usPrefetch: return QStringLiteral("Prefetch");
    case usClosingConnection: return QStringLiteral("Closing connection");
    case usConnectionClosed: return QStringLiteral("Connection closed");
    case usHandleCreated: return QStringLiteral("Handle created");
    case usHandleClosing: return QStringLiteral("Handle closing");
    case usRequestComplete: return QStringLiteral("Request complete");
    case usRedirect: return QStringLiteral("Redirect");
    case usIntermediateResponse: return QStringLiteral("Intermediate response");
    case usStateChange: return QStringLiteral("State change");
    default: return QStringLiteral("Unknown status");
    }
}

QByteArray upWriteLoginInfo(const QString &userName, const QString &password)
{
    if (userName.isEmpty() && password.isEmpty())
        return {};
    const QByteArray user = userName.toUtf8();
    const QByteArray pass = password.toUtf8();
    if (user.size() > 254 || 1 + user.size() + pass.size() > 255)
        throw AppError(QStringLiteral("The user name and password are too long to be stored."));
    QByteArray plain;
    plain.append(static_cast<char>(user.size()));
    plain.append(user);
    plain.append(pass);
    QByteArray stored;
    stored.append(static_cast<char>(plain.size()));
    stored.append(scramble(plain));
    return stored;
}

bool upReadLoginInfo(const QByteArray &data, QString &userName, QString &password)
{
    if (data.isEmpty())
        return false;
    const int length = static_cast<unsigned char>(data.at(0));
    if (length < 1 || data.size() < 1 + length)
        return false;
    const QByteArray plain = scramble(data.mid(1, length));
    const int userLength = static_cast<unsigned char>(plain.at(0));
    if (1 + userLength > plain.size())
        return false;
    userName = QString::fromUtf8(plain.mid(1, userLength));
    password = QString::fromUtf8(plain.mid(1 + userLength));
    return true;
}
