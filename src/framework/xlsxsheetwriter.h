#pragma once

#include "worksheet.h"

#include <QByteArray>
#include <memory>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;
class CNumericLocale;

// Writes a sheet as an Office Open XML workbook (.xlsx) with libxlsxwriter in its
// constant-memory mode: each row goes to a temporary file as soon as the next one
// starts, so a million rows take no more memory than one. Numbers stay numbers (16
// significant digits, which holds every amount the ledger keeps), dates are date
// cells shown as 2014-03-12, texts are texts; the title rows stay in view and the
// columns are as wide as their titles.
//
// The workbook is made when endFile() closes it; a failure raises AppError.
class XlsxSheetWriter : public SheetWriter
{
public:
    // A text cell holds at most this many characters; longer texts are cut.
    static constexpr int kMaxTextLength = 32767;

    explicit XlsxSheetWriter(const QString &fileName);
    ~XlsxSheetWriter() override;

    void prepare(const SheetLayout &layout) override;
    void beginFile() override;
    void text(int row, int column, const QString &text) override;
    void utf8Text(int row, int column, const char *text, qsizetype size) override;
    void number(int row, int column, double value) override;
    void integer(int row, int column, qint64 value) override;
    void date(int row, int column, const QDate &value) override;
    void blank(int row, int column) override;
    void endFile() override;

    // How wide a column must be, in the character widths the format counts, to show
    // the text: a Chinese character takes two.
    static double widthOf(const QString &text);

private:
    void check(int error) const;

    QByteArray m_fileName;
    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_dateFormat = nullptr;
    // Declared last: the workbook is closed while the C numeric locale still holds.
    std::unique_ptr<CNumericLocale> m_cLocale;
};
