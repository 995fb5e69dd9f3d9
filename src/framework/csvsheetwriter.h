#pragma once

#include "worksheet.h"

#include <QByteArray>
#include <QStringList>

class QIODevice;

// Writes a sheet as comma-separated values: UTF-8 after a byte-order mark, so that
// spreadsheet programs read the Chinese texts; every line as many fields as the
// sheet has columns, lines ended by CR LF; a field holding a comma, a quote or a line
// break is quoted, with its quotes doubled. Numbers are the shortest text that reads
// back as the same double, dates are 2014-03-12.
//
// A failing write raises AppError with the device's reason.
class CsvSheetWriter : public SheetWriter
{
public:
    explicit CsvSheetWriter(QIODevice &device);

    void prepare(const SheetLayout &layout) override;
    void beginFile() override;
    void text(int row, int column, const QString &text) override;
    void number(int row, int column, double value) override;
    void integer(int row, int column, qint64 value) override;
    void date(int row, int column, const QDate &value) override;
    void blank(int row, int column) override;
    void endFile() override;

    // The field as it stands in a line: quoted when it must be.
    static QString field(const QString &text);

private:
    void put(int row, int column, const QString &field);
    void endRow();
    void write(const QByteArray &bytes);

    QIODevice &m_device;
    int m_columnCount = 0;
    int m_row = -1;
    QStringList m_fields;
    QByteArray m_pending;
};
