#include "biff5writer.h"

#include "apperror.h"
#include "datetext.h"

#include <QIODevice>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

enum RecordType : quint16 {
    kBeginOfFile = 0x0809,
    kCodePage = 0x0042,
    kText = 0x0204,
    kNumber = 0x0203,
    kInteger = 0x027E,
    kBlank = 0x0201,
    kEndOfFile = 0x000A,
};

constexpr quint16 kBlankFormat = 0x0017;

void appendWord(QByteArray &data, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    data.append(bytes, 2);
}

QByteArray cellHeader(int row, int column, quint16 format)
{
    // Row and column numbers are 16 bits: a larger one would wrap and overwrite
    // the top of the sheet.
    if (row < 0 || row > 0xFFFF || column < 0 || column > 0xFF)
        throw AppError(QStringLiteral("单元格（第 %1 行，第 %2 列）超出了 .xls 文件的范围").arg(row + 1).arg(column + 1));
    QByteArray data;
    appendWord(data, quint16(row));
    appendWord(data, quint16(column));
    appendWord(data, format);
    return data;
}

// Converts one character (one or two UTF-16 units) to GBK; empty when GBK lacks it.
QByteArray convertOne(iconv_t converter, const QByteArray &utf8)
{
    char output[8];
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *out = output;
    size_t outLeft = sizeof output;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == size_t(-1))
        return {};
    if (iconv(converter, nullptr, nullptr, &out, &outLeft) == size_t(-1))
        return {};
    return QByteArray(output, int(out - output));
}

} // namespace

Biff5Writer::Biff5Writer(QIODevice &device) : m_device(device)
{
}

QByteArray Biff5Writer::toGbk(const QString &text)
{
    iconv_t converter = iconv_open("GBK", "UTF-8");
    if (converter == iconv_t(-1))
        throw AppError(QStringLiteral("The GBK code page is not available"));
    QByteArray result;
    result.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            result.append(char(c.unicode()));
            continue;
        }
        QString one(c);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            one.append(text.at(++i));
        const QByteArray converted = convertOne(converter, one.toUtf8());
        result.append(converted.isEmpty() ? QByteArray("?") : converted);
    }
    iconv_close(converter);
    return result;
}

QByteArray Biff5Writer::cutGbk(const QByteArray &gbk, int maxBytes)
{
    if (gbk.size() <= maxBytes)
        return gbk;
    // A byte of 0x81 or more leads a two-byte character.
    int end = 0;
    while (end < gbk.size()) {
        const int length = quint8(gbk.at(end)) >= 0x81 ? 2 : 1;
        if (end + length > maxBytes)
            break;
        end += length;
    }
    return gbk.left(end);
}

void Biff5Writer::record(quint16 type, const QByteArray &data)
{
    QByteArray bytes;
    bytes.reserve(4 + data.size());
    appendWord(bytes, type);
    appendWord(bytes, quint16(data.size()));
    bytes.append(data);
    if (m_device.write(bytes) != bytes.size())
        throw AppError(m_device.errorString());
}

void Biff5Writer::beginFile()
{
    QByteArray data;
    appendWord(data, 0);      // version
    appendWord(data, 0x0010); // a worksheet
    appendWord(data, 0);      // build
    appendWord(data, 0);      // year
    record(kBeginOfFile, data);
    QByteArray codePage;
    appendWord(codePage, kGbkCodePage);
    record(kCodePage, codePage);
}

void Biff5Writer::text(int row, int column, const QString &text)
{
    const QByteArray bytes = cutGbk(toGbk(text), kMaxTextBytes);
    QByteArray data = cellHeader(row, column, 0);
    appendWord(data, quint16(bytes.size()));
    data.append(bytes);
    record(kText, data);
}

void Biff5Writer::number(int row, int column, double value)
{
    QByteArray data = cellHeader(row, column, 0);
    char bytes[8];
    qToLittleEndian(value, bytes);
    data.append(bytes, 8);
    record(kNumber, data);
}

void Biff5Writer::integer(int row, int column, qint64 value)
{
    // The cell holds value * 4 + 2 in 32 bits: 30 bits of signed integer.
    constexpr qint64 kLimit = qint64(1) << 29;
    if (value < -kLimit || value >= kLimit) {
        number(row, column, double(value));
        return;
    }
    QByteArray data = cellHeader(row, column, 0);
    char bytes[4];
    qToLittleEndian(quint32(qint32(value) * 4 + 2), bytes);
    data.append(bytes, 4);
    record(kInteger, data);
}

void Biff5Writer::date(int row, int column, const QDate &value)
{
    text(row, column, DateText::date(value));
}

void Biff5Writer::blank(int row, int column)
{
    record(kBlank, cellHeader(row, column, kBlankFormat));
}

void Biff5Writer::endFile()
{
    record(kEndOfFile, {});
}
