#include "inifile.h"

#include "apperror.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

namespace {

// One line of the file as it is stored: its bytes and its own line end ("\r\n", "\n"
// or nothing on an unterminated last line). Lines are only decoded to be understood;
// a line we do not replace goes back byte for byte, whatever its encoding.
struct RawLine
{
    QByteArray content;
    QByteArray end;
};

QList<RawLine> readRawLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QList<RawLine> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype feed = bytes.indexOf('\n', start);
        if (feed < 0) {
            lines.append({bytes.mid(start), QByteArray()});
            break;
        }
        const bool crlf = feed > start && bytes.at(feed - 1) == '\r';
        const qsizetype contentEnd = crlf ? feed - 1 : feed;
        lines.append({bytes.mid(start, contentEnd - start), crlf ? QByteArray("\r\n") : QByteArray("\n")});
        start = feed + 1;
    }
    return lines;
}

// The text of a stored line for matching section and key names. A byte order mark
// at the start of the file is not part of the first line's text.
QString decoded(const RawLine &line)
{
    QString text = QString::fromUtf8(line.content);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
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
    for (const RawLine &raw : readRawLines(path)) {
        const QString line = decoded(raw);
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
    QList<RawLine> lines = readRawLines(path);
    // New lines take the line end the file uses most.
    qsizetype crlfLines = 0;
    for (const RawLine &line : std::as_const(lines))
        crlfLines += line.end == "\r\n" ? 1 : 0;
    const QByteArray lineEnd = crlfLines * 2 > lines.size() ? QByteArray("\r\n") : QByteArray("\n");
    auto newLine = [&lineEnd](const QString &text) { return RawLine{text.toUtf8(), lineEnd}; };

    // Where the section starts and ends (the line after its last key).
    qsizetype header = -1;
    qsizetype end = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = decoded(lines.at(i));
        if (const std::optional<QString> name = sectionName(line)) {
            if (header >= 0)
                break;
            if (sameName(*name, section)) {
                header = i;
                end = i + 1;
            }
            continue;
        }
        if (header >= 0 && !line.trimmed().isEmpty())
            end = i + 1;
    }
    if (header < 0) {
        if (!lines.isEmpty() && !decoded(lines.constLast()).trimmed().isEmpty())
            lines.append(newLine(QString()));
        lines.append(newLine(QLatin1Char('[') + section + QLatin1Char(']')));
        header = lines.size() - 1;
        end = lines.size();
    }

    for (const auto &[key, value] : values) {
        const QString text = key + QLatin1Char('=') + value;
        bool replaced = false;
        for (qsizetype i = header + 1; i < end; ++i) {
            const auto entry = keyValue(decoded(lines.at(i)));
            if (entry && sameName(entry->first, key)) {
                lines[i].content = text.toUtf8();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            lines.insert(end++, newLine(text));
    }

    QByteArray bytes;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const RawLine &line = lines.at(i);
        bytes += line.content;
        // Only a last line may go without an end; one that gained a successor needs one.
        bytes += line.end.isEmpty() && i + 1 < lines.size() ? lineEnd : line.end;
    }
    QSaveFile file(path);
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
