#include "inifile.h"

#include "apperror.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

namespace {

QStringList readLines(const QString &path, QString *lineEnd = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (lineEnd)
        *lineEnd = bytes.contains("\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// The section name of a "[name]" line, else nothing.
std::optional<QString> sectionName(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

// The key of a "key=value" line, else nothing (comments and other lines).
std::optional<std::pair<QString, QString>> keyValue(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1Char(';')))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return std::nullopt;
    QString value = trimmed.mid(equals + 1).trimmed();
    if (value.size() >= 2
        && ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            || (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
        value = value.mid(1, value.size() - 2);
    return std::make_pair(trimmed.left(equals).trimmed(), value);
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

namespace IniFile {

Entries readSection(const QString &path, const QString &section)
{
    Entries entries;
    bool inSection = false;
    for (const QString &line : readLines(path)) {
        if (const std::optional<QString> name = sectionName(line)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (const auto entry = keyValue(line); entry && !find(entries, entry->first))
            entries.append(*entry);
    }
    return entries;
}

std::optional<QString> find(const Entries &entries, const QString &key)
{
    for (const auto &[name, value] : entries) {
        if (sameName(name, key))
            return value;
    }
    return std::nullopt;
}

void writeValues(const QString &path, const QString &section, const Entries &values)
{
    QString lineEnd = QStringLiteral("\n");
    QStringList lines = readLines(path, &lineEnd);

    // Where the section starts and ends (the line after its last key).
    qsizetype header = -1;
    qsizetype end = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const std::optional<QString> name = sectionName(lines.at(i))) {
            if (header >= 0)
                break;
            if (sameName(*name, section)) {
                header = i;
                end = i + 1;
            }
            continue;
        }
        if (header >= 0 && !lines.at(i).trimmed().isEmpty())
            end = i + 1;
    }
    if (header < 0) {
        if (!lines.isEmpty() && !lines.constLast().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        header = lines.size() - 1;
        end = lines.size();
    }

    for (const auto &[key, value] : values) {
        const QString line = key + QLatin1Char('=') + value;
        bool replaced = false;
        for (qsizetype i = header + 1; i < end; ++i) {
            const auto entry = keyValue(lines.at(i));
            if (entry && sameName(entry->first, key)) {
                lines[i] = line;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            lines.insert(end++, line);
    }

    QSaveFile file(path);
    const QByteArray bytes = (lines.join(lineEnd) + lineEnd).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw AppError(QStringLiteral("Unable to write to %1").arg(path));
}

QList<std::optional<int>> numberList(const QString &value)
{
    static const QRegularExpression separators(QStringLiteral("[ ,]+"));
    QList<std::optional<int>> numbers;
    for (const QString &field : value.split(separators, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int number = field.toInt(&ok);
        numbers.append(ok ? std::optional<int>(number) : std::nullopt);
    }
    return numbers;
}

} // namespace IniFile
