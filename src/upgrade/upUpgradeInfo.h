#pragma once

#include "upTypes.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

// What an upgrade information file announces. The file is plain text; each value
// follows "#key=" anywhere in it (keys in any case, the first occurrence counts) and
// runs up to the first control character. The message is written in braces and may
// span lines.
struct UpgradeInfoFile
{
    QStringList files;   // url, url0, then url1, url2, ... (numbering below)
    QString date;        // month/day/year
    QString version;     // dotted release number
    QString message;
    Upgrade::TupUpgradeMethod method = Upgrade::umSelfUpgrade;

    static UpgradeInfoFile parse(const QByteArray &body);
    // The value of "#key=", or an empty text when the key is absent.
    static QByteArray value(const QByteArray &body, const QByteArray &key);
};

namespace UpgradeVersion {

// "month/day/year"; anything that is not a valid date gives `today`.
QDate parseDate(const QString &text, const QDate &today);
// Always "MM/dd/yyyy" with a literal "/".
QString formatDate(const QDate &date);

// Compares release numbers of up to four dotted parts (missing parts are 0). When a
// part is not a number, the whole texts are compared character by character instead.
// Negative, zero or positive as `announced` is older, equal or newer.
int compareNumbers(const QString &announced, const QString &running);

// Whether the announced release is newer than the running one.
bool isNewer(Upgrade::TupVersionControl control, const UpgradeInfoFile &info, const QString &versionDate,
             const QString &versionNumber, const QDate &today);

} // namespace UpgradeVersion
