#pragma once

#include "worksheet.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Writes a worksheet as a bare stream of BIFF5 records (little-endian, no compound
// document around it), the form every spreadsheet program reads as an old Excel
// sheet. Text is stored in the Chinese ANSI code page (GBK), and a CODEPAGE record
// after the first record says so, so that the text reads right under any locale.
//
// A failing write raises AppError; what was written before stays.
class Biff5Writer : public SheetWriter
{
public:
    // A text cell holds at most this many bytes; longer texts are cut at a character
    // boundary so that the file stays one that spreadsheet programs accept.
    static constexpr int kMaxTextBytes = 255;
    // The Windows code page number of GBK.
    static constexpr quint16 kGbkCodePage = 936;

    explicit Biff5Writer(QIODevice &device);

    // Begin of file (a worksheet) followed by the code page record.
    void beginFile() override;
    void text(int row, int column, const QString &text) override;
    void number(int row, int column, double value) override;
    // An integer cell; a value too large for one (the value times 4 must fit in 32
    // bits) is written as a number cell instead, so it is never mangled.
    void integer(int row, int column, qint64 value) override;
    // The format has no date cell: a date is its text, 2014-03-12.
    void date(int row, int column, const QDate &value) override;
    void blank(int row, int column) override;
    void endFile() override;

    // The text as GBK bytes; a character GBK lacks becomes '?'.
    static QByteArray toGbk(const QString &text);
    // The longest prefix of GBK bytes of at most maxBytes that ends on a character boundary.
    static QByteArray cutGbk(const QByteArray &gbk, int maxBytes);

private:
    void record(quint16 type, const QByteArray &data);

    QIODevice &m_device;
};
