#include "readback.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace ReadBack {

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(60000))
        return {};
    QString text = QString::fromUtf8(process.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

void verifyInOrder(const QString &text, const QStringList &pieces)
{
    qsizetype from = 0;
    for (const QString &piece : pieces) {
        const qsizetype at = text.indexOf(piece, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("'%1' missing after position %2 in: %3").arg(piece).arg(from).arg(text)));
        from = at + piece.size();
    }
}

namespace {

// Rows of a CSV file with the spreadsheet program's quoting: a quoted field may hold
// commas, doubled quotes and line breaks.
QList<QStringList> csvRows(const QByteArray &csv)
{
    QList<QStringList> rows;
    QStringList cells;
    QString cell;
    bool quoted = false;
    bool any = false;
    const QString text = QString::fromUtf8(csv);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        any = true;
        if (quoted && c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
            cell += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            cells << cell;
            cell.clear();
        } else if (c == QLatin1Char('\n') && !quoted) {
            cells << cell;
            rows << cells;
            cells.clear();
            cell.clear();
            any = false;
        } else if (c != QLatin1Char('\r') || quoted) {
            cell += c;
        }
    }
    if (any) {
        cells << cell;
        rows << cells;
    }
    return rows;
}

} // namespace

QList<QStringList> worksheetRows(const QString &sheet, const QString &folder, QString *error)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        *error = QStringLiteral("LibreOffice Calc (soffice) is needed to read the worksheet back");
        return {};
    }
    QTemporaryDir profile;
    // A folder of its own for the converted file, which would otherwise replace a
    // sheet that is itself a .csv file.
    QTemporaryDir output(QDir(folder).filePath(QStringLiteral("readback-XXXXXX")));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                          QStringLiteral("--headless")};
    // Converted without a dialog the program reads a text file in the locale's
    // character set and does not look for a byte-order mark; its import dialog would
    // offer UTF-8 for such a file, so the import says so here.
    if (QFileInfo(sheet).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
        arguments << QStringLiteral("--infilter=Text - txt - csv (StarCalc):44,34,76,1");
    arguments << QStringLiteral("--convert-to") << QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76")
              << QStringLiteral("--outdir") << output.path() << sheet;
    process.start(soffice, arguments);
    if (!process.waitForFinished(240000)) {
        *error = QStringLiteral("the spreadsheet program did not finish");
        return {};
    }
    QFile csv(QDir(output.path()).filePath(QFileInfo(sheet).completeBaseName() + QStringLiteral(".csv")));
    if (!csv.open(QIODevice::ReadOnly)) {
        *error = QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    return csvRows(csv.readAll());
}

} // namespace ReadBack
