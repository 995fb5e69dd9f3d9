#include "csvsheetwriter.h"

#include "apperror.h"

#include <QIODevice>

namespace {

// Lines are handed to the device in pieces of about this size.
constexpr qsizetype kChunk = 64 * 1024;

} // namespace

CsvSheetWriter::CsvSheetWriter(QIODevice &device) : m_device(device)
{
}

QString CsvSheetWriter::field(const QString &text)
{
    bool quote = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            quote = true;
            break;
        }
    }
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void CsvSheetWriter::prepare(const SheetLayout &layout)
{
    m_columnCount = layout.columnCount;
}

void CsvSheetWriter::beginFile()
{
    write(QByteArray("\xEF\xBB\xBF"));
}

void CsvSheetWriter::put(int row, int column, const QString &field)
{
    if (row != m_row) {
        if (m_row >= 0)
            endRow();
        // Rows with nothing in them still take their line.
        for (int empty = m_row + 1; m_row >= 0 && empty < row; ++empty) {
            m_row = empty;
            endRow();
        }
        m_row = row;
    }
    if (column >= m_fields.size())
        m_fields.resize(column + 1);
    m_fields[column] = field;
}

void CsvSheetWriter::endRow()
{
    if (m_fields.size() < m_columnCount)
        m_fields.resize(m_columnCount);
    m_pending += m_fields.join(QLatin1Char(',')).toUtf8();
    m_pending += "\r\n";
    m_fields.clear();
    if (m_pending.size() >= kChunk) {
        write(m_pending);
        m_pending.clear();
    }
}

void CsvSheetWriter::write(const QByteArray &bytes)
{
    if (m_device.write(bytes) != bytes.size())
        throw AppError(m_device.errorString());
}

void CsvSheetWriter::text(int row, int column, const QString &text)
{
    put(row, column, field(text));
}

void CsvSheetWriter::number(int row, int column, double value)
{
    put(row, column, shortestText(value));
}

void CsvSheetWriter::integer(int row, int column, qint64 value)
{
    put(row, column, QString::number(value));
}

void CsvSheetWriter::date(int row, int column, const QDate &value)
{
    put(row, column, value.toString(QStringLiteral("yyyy-MM-dd")));
}

void CsvSheetWriter::blank(int row, int column)
{
    put(row, column, QString());
}

void CsvSheetWriter::endFile()
{
    if (m_row >= 0)
        endRow();
    m_row = -1;
    if (!m_pending.isEmpty())
        write(m_pending);
    m_pending.clear();
}
