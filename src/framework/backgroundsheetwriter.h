#pragma once

#include "worksheet.h"

#include <QByteArray>
#include <QStringEncoder>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// Passes a sheet's cells on to another writer that runs on a thread of its own, so
// the records are read (on this thread, where the data lives) while the cells
// before them are being written. Cells go over in batches through a short queue,
// so no more than a few thousand are ever waiting.
//
// A cell costs no allocation on either side: texts are turned into UTF-8 here,
// straight into the batch, and reach the writer as utf8Text(); the batches are
// used again once written.
//
// A failure of the writer is raised here, at the next cell handed over or at
// endFile(), which returns only when the writer is done.
class BackgroundSheetWriter : public SheetWriter
{
public:
    explicit BackgroundSheetWriter(SheetWriter &writer);
    // Stops the writer thread, dropping what it has not written.
    ~BackgroundSheetWriter() override;
    BackgroundSheetWriter(const BackgroundSheetWriter &) = delete;
    BackgroundSheetWriter &operator=(const BackgroundSheetWriter &) = delete;

    void prepare(const SheetLayout &layout) override;
    void beginFile() override;
    void text(int row, int column, const QString &text) override;
    void number(int row, int column, double value) override;
    void integer(int row, int column, qint64 value) override;
    void date(int row, int column, const QDate &value) override;
    void blank(int row, int column) override;
    void endFile() override;

private:
    struct Cell
    {
        enum class Kind { Prepare, Begin, Text, Number, Integer, Date, Blank, End };
        Kind kind;
        int row = 0;
        int column = 0;
        // A text's length in bytes; its start in the batch's texts is `integer`.
        int size = 0;
        double number = 0;
        // An integer, a date's Julian day or a text's start.
        qint64 integer = 0;
    };
    struct Batch
    {
        std::vector<Cell> cells;
        // The batch's texts in UTF-8, each followed by a NUL.
        QByteArray texts;
    };

    void put(const Cell &cell);
    void hand();
    void run();
    void write(const Batch &batch);
    void stop();

    SheetWriter &m_writer;
    SheetLayout m_layout;
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    Batch m_batch;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_queue;
    // Written batches, kept for their room.
    std::vector<Batch> m_spare;
    bool m_finished = false;
    bool m_abandoned = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};
