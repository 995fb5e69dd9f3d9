#include "backgroundsheetwriter.h"

namespace {

constexpr size_t kBatchCells = 4096;
constexpr size_t kQueuedBatches = 4;

} // namespace

BackgroundSheetWriter::BackgroundSheetWriter(SheetWriter &writer) : m_writer(writer)
{
    m_batch.reserve(kBatchCells);
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

void BackgroundSheetWriter::put(Cell cell)
{
    m_batch.push_back(std::move(cell));
    if (m_batch.size() >= kBatchCells)
        hand();
}

void BackgroundSheetWriter::hand()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kQueuedBatches || m_error; });
    if (m_error)
        std::rethrow_exception(m_error);
    m_queue.push_back(std::move(m_batch));
    m_batch = {};
    m_batch.reserve(kBatchCells);
    lock.unlock();
    m_changed.notify_all();
}

void BackgroundSheetWriter::run()
{
    for (;;) {
        std::vector<Cell> batch;
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
            for (const Cell &cell : batch) {
                switch (cell.kind) {
                case Cell::Kind::Prepare:
                    m_writer.prepare(m_layout);
                    break;
                case Cell::Kind::Begin:
                    m_writer.beginFile();
                    break;
                case Cell::Kind::Text:
                    m_writer.text(cell.row, cell.column, cell.text);
                    break;
                case Cell::Kind::Number:
                    m_writer.number(cell.row, cell.column, cell.number);
                    break;
                case Cell::Kind::Integer:
                    m_writer.integer(cell.row, cell.column, cell.integer);
                    break;
                case Cell::Kind::Date:
                    m_writer.date(cell.row, cell.column, cell.date);
                    break;
                case Cell::Kind::Blank:
                    m_writer.blank(cell.row, cell.column);
                    break;
                case Cell::Kind::End:
                    m_writer.endFile();
                    break;
                }
            }
        } catch (...) {
            {
                const std::lock_guard lock(m_mutex);
                m_error = std::current_exception();
                m_queue.clear();
            }
            m_changed.notify_all();
            return;
        }
    }
}

void BackgroundSheetWriter::prepare(const SheetLayout &layout)
{
    // Read by the writer thread only after the batch holding this step is handed over.
    m_layout = layout;
    put({Cell::Kind::Prepare, 0, 0, {}, 0, 0, {}});
}

void BackgroundSheetWriter::beginFile()
{
    put({Cell::Kind::Begin, 0, 0, {}, 0, 0, {}});
}

void BackgroundSheetWriter::text(int row, int column, const QString &text)
{
    put({Cell::Kind::Text, row, column, text, 0, 0, {}});
}

void BackgroundSheetWriter::number(int row, int column, double value)
{
    put({Cell::Kind::Number, row, column, {}, value, 0, {}});
}

void BackgroundSheetWriter::integer(int row, int column, qint64 value)
{
    put({Cell::Kind::Integer, row, column, {}, 0, value, {}});
}

void BackgroundSheetWriter::date(int row, int column, const QDate &value)
{
    put({Cell::Kind::Date, row, column, {}, 0, 0, value});
}

void BackgroundSheetWriter::blank(int row, int column)
{
    put({Cell::Kind::Blank, row, column, {}, 0, 0, {}});
}

void BackgroundSheetWriter::endFile()
{
    put({Cell::Kind::End, 0, 0, {}, 0, 0, {}});
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
