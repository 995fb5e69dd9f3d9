#include "backupfiles.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <vector>

namespace BackupFiles {

namespace {

constexpr qint64 kRecentSeconds = 48 * 3600;
constexpr int kRecentKept = 50;
constexpr int kDailyKept = 14;
constexpr int kMonthlyKept = 12;

} // namespace

std::optional<Name> parse(const QString &fileName)
{
    // A sequence of 1 is never written out, so each backup has exactly one name.
    static const QRegularExpression pattern(
        QStringLiteral("^data-(\\d{8}-\\d{6})(?:-([2-9]|[1-9]\\d+))?(-before-restore)?\\.(mdb|dump)$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    Name name;
    name.time = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
    if (!name.time.isValid())
        return std::nullopt;
    if (match.hasCaptured(2) && !match.captured(2).isEmpty())
        name.sequence = match.captured(2).toInt();
    name.kind = match.captured(3).isEmpty() ? Kind::Regular : Kind::BeforeRestore;
    name.extension = match.captured(4);
    return name;
}

QString fileName(const Name &name)
{
    QString text = QStringLiteral("data-") + name.time.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (name.sequence > 1)
        text += QStringLiteral("-%1").arg(name.sequence);
    if (name.kind == Kind::BeforeRestore)
        text += QStringLiteral("-before-restore");
    return text + QLatin1Char('.') + name.extension;
}

QStringList toRemove(const QStringList &fileNames, const QDateTime &now, const QStringList &spared)
{
    struct Backup
    {
        QString file;
        Name name;
    };
    std::vector<Backup> backups;
    for (const QString &file : fileNames) {
        const std::optional<Name> name = parse(file);
        if (name && name->kind == Kind::Regular)
            backups.push_back({file, *name});
    }
    std::sort(backups.begin(), backups.end(), [](const Backup &a, const Backup &b) {
        return a.name.time != b.name.time ? a.name.time > b.name.time : a.name.sequence > b.name.sequence;
    });
    QSet<QString> kept(spared.begin(), spared.end());
    QSet<QDate> days;
    QSet<int> months;
    int recent = 0;
    for (const Backup &backup : backups) {
        // A clock put back makes backups "from the future": they count as recent.
        if (backup.name.time.secsTo(now) < kRecentSeconds && recent < kRecentKept) {
            ++recent;
            kept.insert(backup.file);
        }
        const QDate day = backup.name.time.date();
        if (!days.contains(day) && days.size() < kDailyKept) {
            days.insert(day);
            kept.insert(backup.file);
        }
        const int month = day.year() * 12 + day.month();
        if (!months.contains(month) && months.size() < kMonthlyKept) {
            months.insert(month);
            kept.insert(backup.file);
        }
    }
    QStringList removed;
    for (const Backup &backup : backups) {
        if (!kept.contains(backup.file))
            removed << backup.file;
    }
    return removed;
}

} // namespace BackupFiles
