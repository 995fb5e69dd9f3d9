#include "xlsxsheetwriter.h"

#include "apperror.h"
#include "outputfile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <locale.h>
#include <thread>
#include <xlsxwriter.h>

// The library prints numbers with the C library, which follows the process's numeric
// locale; a decimal comma would make the workbook unreadable. This thread prints with
// the C locale's point while the guard lives.
class CNumericLocale
{
public:
    CNumericLocale() : m_thread(std::this_thread::get_id())
    {
        m_locale = newlocale(LC_NUMERIC_MASK, "C", duplocale(uselocale(nullptr)));
        if (m_locale)
            m_previous = uselocale(m_locale);
    }
    ~CNumericLocale()
    {
        if (!m_locale)
            return;
        // The locale belongs to the thread that took it; another thread never had it.
        if (std::this_thread::get_id() == m_thread)
            uselocale(m_previous);
        freelocale(m_locale);
    }
    CNumericLocale(const CNumericLocale &) = delete;
    CNumericLocale &operator=(const CNumericLocale &) = delete;

private:
    std::thread::id m_thread;
    locale_t m_locale = nullptr;
    locale_t m_previous = nullptr;
};

namespace {

QString failure(int error)
{
    // The library reports its own codes; the system's error number says more when the
    // disk or the folder was the cause.
    switch (errno) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EACCES:
    case EPERM:
    case EROFS:
    case EIO:
    case EFBIG:
        return OutputFile::reasonFor(errno);
    default:
        break;
    }
    return QStringLiteral("生成 .xlsx 文件时出错（代码 %1）").arg(error);
}

} // namespace

XlsxSheetWriter::XlsxSheetWriter(const QString &fileName) : m_fileName(QFile::encodeName(fileName))
{
}

XlsxSheetWriter::~XlsxSheetWriter()
{
    // An unfinished workbook is closed to free its temporary files; the caller throws
    // the half-made file away.
    if (m_workbook)
        workbook_close(m_workbook);
}

double XlsxSheetWriter::widthOf(const QString &text)
{
    double width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

void XlsxSheetWriter::check(int error) const
{
    if (error != LXW_NO_ERROR)
        throw AppError(failure(error));
}

void XlsxSheetWriter::prepare(const SheetLayout &layout)
{
    if (!m_workbook)
        beginFile();
    for (const auto &[column, caption] : layout.titles) {
        // A little room beside the title; a short title keeps the default width.
        const double width = widthOf(caption) + 2;
        if (width > LXW_DEF_COL_WIDTH)
            check(worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column), width, nullptr));
    }
    if (layout.frozenRows > 0)
        worksheet_freeze_panes(m_sheet, lxw_row_t(layout.frozenRows), 0);
}

void XlsxSheetWriter::beginFile()
{
    if (m_workbook)
        return;
    m_cLocale = std::make_unique<CNumericLocale>();
    errno = 0;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = nullptr;
    options.use_zip64 = LXW_TRUE;
    m_workbook = workbook_new_opt(m_fileName.constData(), &options);
    if (!m_workbook)
        throw AppError(failure(LXW_ERROR_MEMORY_MALLOC_FAILED));
    m_sheet = workbook_add_worksheet(m_workbook, nullptr);
    if (!m_sheet)
        throw AppError(failure(LXW_ERROR_CREATING_TMPFILE));
    m_dateFormat = workbook_add_format(m_workbook);
    format_set_num_format(m_dateFormat, "yyyy-mm-dd");
}

void XlsxSheetWriter::text(int row, int column, const QString &text)
{
    const QByteArray utf8 = (text.size() > kMaxTextLength ? text.left(kMaxTextLength) : text).toUtf8();
    check(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), utf8.constData(), nullptr));
}

void XlsxSheetWriter::utf8Text(int row, int column, const char *text, qsizetype size)
{
    // A text of no more bytes than the limit has no more characters either; a longer
    // one is cut by characters.
    if (size > kMaxTextLength) {
        this->text(row, column, QString::fromUtf8(text, size));
        return;
    }
    check(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), text, nullptr));
}

void XlsxSheetWriter::number(int row, int column, double value)
{
    check(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), value, nullptr));
}

void XlsxSheetWriter::integer(int row, int column, qint64 value)
{
    number(row, column, double(value));
}

void XlsxSheetWriter::date(int row, int column, const QDate &value)
{
    if (!value.isValid())
        return;
    // The format counts days from 1900 and, like the programs that read it, takes 1900
    // for a leap year: from March 1900 on, a date is its day number less a constant.
    static constexpr qint64 kMarch1900 = 2415080; // Julian day of 1900-03-01, day 61
    if (value.toJulianDay() >= kMarch1900) {
        check(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column),
                                     double(value.toJulianDay() - kMarch1900 + 61), m_dateFormat));
        return;
    }
    // An older date stays readable as its text.
    if (value.year() < 1900) {
        text(row, column, value.toString(QStringLiteral("yyyy-MM-dd")));
        return;
    }
    lxw_datetime when{};
    when.year = value.year();
    when.month = value.month();
    when.day = value.day();
    check(worksheet_write_datetime(m_sheet, lxw_row_t(row), lxw_col_t(column), &when, m_dateFormat));
}

void XlsxSheetWriter::blank(int, int)
{
    // An empty cell is simply not written.
}

void XlsxSheetWriter::endFile()
{
    if (!m_workbook)
        return;
    errno = 0;
    lxw_workbook *workbook = m_workbook;
    m_workbook = nullptr;
    const lxw_error error = workbook_close(workbook);
    const int systemError = errno;
    m_cLocale.reset();
    errno = systemError;
    check(error);
}
