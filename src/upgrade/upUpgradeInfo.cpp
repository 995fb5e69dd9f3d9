#include "upUpgradeInfo.h"

namespace {

// The text is in the local 8-bit encoding; keys and delimiters are ASCII, so values
// can be cut from the bytes before decoding.
QString decoded(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

qsizetype findKey(const QByteArray &body, const QByteArray &key)
{
    const QByteArray marker = '#' + key.toLower() + '=';
    const qsizetype at = body.toLower().indexOf(marker);
    return at < 0 ? -1 : at + marker.size();
}

bool isDecimal(const QString &text, int *value)
{
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (ok && value)
        *value = number;
    return ok;
}

} // namespace

QByteArray UpgradeInfoFile::value(const QByteArray &body, const QByteArray &key)
{
    const qsizetype start = findKey(body, key);
    if (start < 0)
        return {};
    qsizetype end = start;
    while (end < body.size() && static_cast<unsigned char>(body.at(end)) >= 32)
        ++end;
    return body.mid(start, end - start);
}

UpgradeInfoFile UpgradeInfoFile::parse(const QByteArray &body)
{
    UpgradeInfoFile info;
    for (const char *key : {"url", "url0"}) {
        const QByteArray address = value(body, key);
        if (!address.isEmpty())
            info.files << decoded(address);
    }
    for (qsizetype n = info.files.size() + 1;; ++n) {
        const QByteArray address = value(body, "url" + QByteArray::number(n));
        if (address.isEmpty())
            break;
        info.files << decoded(address);
    }

    info.date = decoded(value(body, "date"));
    info.version = decoded(value(body, "version"));

    const qsizetype messageStart = findKey(body, "message");
    if (messageStart >= 0 && messageStart < body.size() && body.at(messageStart) == '{') {
        const qsizetype close = body.indexOf('}', messageStart + 1);
        info.message = decoded(body.mid(messageStart + 1, close < 0 ? -1 : close - messageStart - 1));
    } else {
        info.message = decoded(value(body, "message"));
    }

    const QByteArray method = value(body, "method");
    if (method.startsWith('1'))
        info.method = Upgrade::umUseExternalSetup;
    else if (method.startsWith('2'))
        info.method = Upgrade::umRedirectToURL;
    return info;
}

namespace UpgradeVersion {

QDate parseDate(const QString &text, const QDate &today)
{
    const qsizetype first = text.indexOf(QLatin1Char('/'));
    const qsizetype second = first < 0 ? -1 : text.indexOf(QLatin1Char('/'), first + 1);
    if (second < 0)
        return today;
    int month = 0, day = 0, year = 0;
    if (!isDecimal(text.left(first), &month) || !isDecimal(text.mid(first + 1, second - first - 1), &day)
        || !isDecimal(text.mid(second + 1), &year))
        return today;
    const QDate date(year, month, day);
    return date.isValid() && year >= 1 && year <= 9999 ? date : today;
}

QString formatDate(const QDate &date)
{
    return date.toString(QStringLiteral("MM'/'dd'/'yyyy"));
}

int compareNumbers(const QString &announced, const QString &running)
{
    QString a = announced + QLatin1Char('.');
    QString b = running + QLatin1Char('.');
    auto cut = [](QString &text) {
        if (text.isEmpty())
            return QStringLiteral("0");
        const qsizetype dot = text.indexOf(QLatin1Char('.'));
        const QString part = text.left(dot);
        text.remove(0, dot + 1);
        return part;
    };
    for (int i = 0; i < 4; ++i) {
        int x = 0, y = 0;
        const QString partA = cut(a);
        const QString partB = cut(b);
        if (!isDecimal(partA, &x) || !isDecimal(partB, &y) || x == -1 || y == -1) {
            const QByteArray textA = announced.toLocal8Bit();
            const QByteArray textB = running.toLocal8Bit();
            return textA < textB ? -1 : (textA == textB ? 0 : 1);
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool isNewer(Upgrade::TupVersionControl control, const UpgradeInfoFile &info, const QString &versionDate,
             const QString &versionNumber, const QDate &today)
{
    if (control == Upgrade::byNumber)
        return compareNumbers(info.version, versionNumber) > 0;
    return parseDate(versionDate, today) < parseDate(info.date, today);
}

} // namespace UpgradeVersion
