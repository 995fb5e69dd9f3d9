#include "backgroundsheetwriter.h"

namespace {

constexpr size_t kBatchCells = 8192;
constexpr size_t kQueuedBatches = 4;

} // namespace

BackgroundSheetWriter::BackgroundSheetWriter(SheetWriter &writer) : m_writer(writer)
{
    m_batch.cells.reserve(kBatchCells);
    m_thread = std::thread([this] { run(); });
}

BackgroundSheetWriter::~BackgroundSheetWriter()
{
    stop();
}

void BackgroundSheetWriter::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_finished)
            m_abandoned = true;
        m_finished = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundSheetWriter::put(const Cell &cell)
{
    m_batch.cells.push_back(cell);
    if (m_batch.cells.size() >= kBatchCells)
        hand();
}

void BackgroundSheetWriter::hand()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kQueuedBatches || m_error; });
    if (m_error)
        std::rethrow_exception(m_error);
    m_queue.push_back(std::move(m_batch));
    if (m_spare.empty()) {
        m_batch = {};
        m_batch.cells.reserve(kBatchCells);
    } else {
        m_batch = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    m_changed.notify_all();
}

void BackgroundSheetWriter::run()
{
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_finished; });
            if (m_abandoned || m_queue.empty())
                return;
            batch = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_changed.notify_all();
        try {
            write(batch);
        } catch (...) {
            {
                const std::lock_guard lock(m_mutex);
                m_error = std::current_exception();
                m_queue.clear();
            }
            m_changed.notify_all();
            return;
        }
        batch.cells.clear();
        batch.texts.resize(0);
        const std::lock_guard lock(m_mutex);
        m_spare.push_back(std::move(batch));
    }
}

void BackgroundSheetWriter::write(const Batch &batch)
{
    for (const Cell &cell : batch.cells) {
        switch (cell.kind) {
        case Cell::Kind::Prepare:
            m_writer.prepare(m_layout);
            break;
        case Cell::Kind::Begin:
            m_writer.beginFile();
            break;
        case Cell::Kind::Text:
            m_writer.utf8Text(cell.row, cell.column, batch.texts.constData() + cell.integer, cell.size);
            break;
        case Cell::Kind::Number:
            m_writer.number(cell.row, cell.column, cell.number);
            break;
        case Cell::Kind::Integer:
            m_writer.integer(cell.row, cell.column, cell.integer);
            break;
        case Cell::Kind::Date:
            m_writer.date(cell.row, cell.column, QDate::fromJulianDay(cell.integer));
            break;
        case Cell::Kind::Blank:
            m_writer.blank(cell.row, cell.column);
            break;
        case Cell::Kind::End:
            m_writer.endFile();
            break;
        }
    }
}

void BackgroundSheetWriter::prepare(const SheetLayout &layout)
{
    // Read by the writer thread only after the batch holding this step is handed over.
    m_layout = layout;
    put({Cell::Kind::Prepare});
}

void BackgroundSheetWriter::beginFile()
{
    put({Cell::Kind::Begin});
}

void BackgroundSheetWriter::text(int row, int column, const QString &text)
{
    // Encoded into the room the batch already has; it grows only for longer texts.
    QByteArray &texts = m_batch.texts;
    const qsizetype start = texts.size();
    texts.resize(start + m_utf8.requiredSpace(text.size()) + 1);
    char *const begin = texts.data() + start;
    char *const end = m_utf8.appendToBuffer(begin, text);
    *end = '\0';
    texts.resize(start + (end - begin) + 1);
    put({Cell::Kind::Text, row, column, int(end - begin), 0, start});
}

void BackgroundSheetWriter::number(int row, int column, double value)
{
    put({Cell::Kind::Number, row, column, 0, value});
}

void BackgroundSheetWriter::integer(int row, int column, qint64 value)
{
    put({Cell::Kind::Integer, row, column, 0, 0, value});
}

void BackgroundSheetWriter::date(int row, int column, const QDate &value)
{
    // An invalid date stays invalid: its Julian day reads back as one.
    put({Cell::Kind::Date, row, column, 0, 0, value.toJulianDay()});
}

void BackgroundSheetWriter::blank(int row, int column)
{
    put({Cell::Kind::Blank, row, column});
}

void BackgroundSheetWriter::endFile()
{
    put({Cell::Kind::End});
    hand();
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
    m_thread.join();
    if (m_error)
        std::rethrow_exception(m_error);
}
