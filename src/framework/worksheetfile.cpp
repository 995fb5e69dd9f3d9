#include "worksheetfile.h"

#include "apperror.h"
#include "backgroundsheetwriter.h"
#include "biff5writer.h"
#include "csvsheetwriter.h"
#include "outputfile.h"
#include "xlsxsheetwriter.h"

#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <sys/statvfs.h>

namespace {

// A library that writes by name gives no reason of its own when the disk fills: a
// folder without room left says it.
bool folderIsFull(const QString &fileName)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(QFileInfo(fileName).absolutePath()).constData(), &info) != 0)
        return false;
    return info.f_bavail == 0;
}

} // namespace

namespace WorksheetFile {

void write(const WorksheetContent &content, const QString &fileName, WorksheetFormat format,
           const std::function<void(int written)> &progress)
{
    if (!WorksheetFormats::fits(format, content))
        throw AppError(QStringLiteral("%1 行超出了该文件类型最多 %2 行的容量")
                           .arg(QLocale::c().toString(content.rowCount()),
                                QLocale::c().toString(WorksheetFormats::maxRows(format))));
    OutputFile file(fileName);
    if (!file.create())
        throw AppError(file.reason());
    try {
        switch (format) {
        case WorksheetFormat::Xls: {
            Biff5Writer writer(file);
            writeWorksheet(writer, content, progress, false);
            break;
        }
        case WorksheetFormat::Csv: {
            CsvSheetWriter writer(file);
            writeWorksheet(writer, content, progress, true);
            break;
        }
        case WorksheetFormat::Xlsx: {
            // The workbook is written on a thread of its own while the records are read
            // here: each takes about as long as the other.
            XlsxSheetWriter writer(file.temporaryName());
            BackgroundSheetWriter background(writer);
            writeWorksheet(background, content, progress, true);
            break;
        }
        }
    } catch (const AppError &error) {
        if (folderIsFull(file.temporaryName())) {
            file.fail(ENOSPC);
            throw AppError(file.reason());
        }
        // The file's own reason is the first failure; a writer's text may only echo it.
        throw AppError(file.reason().isEmpty() ? error.message() : file.reason());
    }
    if (!file.commit())
        throw AppError(file.reason());
}

} // namespace WorksheetFile
