#include "automaticbackup.h"

#include "clock.h"
#include "connection.h"
#include "datamodule.h"
#include "datasource.h"
#include "dialect.h"
#include "fileledgerbackup.h"
#include "messageboxservice.h"

#include <QThread>
#include <atomic>
#include <memory>
#include <cstdio>

// A backup made in the background. The thread writes `made` or `failure` before it
// ends; they are read here only after it has.
struct AutomaticBackup::Running
{
    quint64 number = 0;
    std::unique_ptr<QThread> thread;
    std::atomic_bool stop = false;
    QString made;
    QString failure;
};

AutomaticBackup::AutomaticBackup(QWidget *parent) : m_parent(parent) {}

AutomaticBackup::~AutomaticBackup()
{
    if (m_running) {
        m_running->stop = true;
        m_running->thread->wait();
    }
}

void AutomaticBackup::afterLogin(Tdmfm &module)
{
    run(module, true);
}

void AutomaticBackup::beforeClose(Tdmfm &module)
{
    // The closing backup holds a later ledger than the one still being copied.
    stop();
    wait();
    run(module, false);
}

void AutomaticBackup::spare(const QString &backup)
{
    stop();
    wait();
    m_spared = backup;
}

void AutomaticBackup::stop()
{
    if (m_running)
        m_running->stop = true;
}

void AutomaticBackup::wait()
{
    if (!m_running)
        return;
    m_running->thread->wait();
    const std::unique_ptr<Running> ended = std::move(m_running);
    if (!ended->made.isEmpty())
        m_lastBackup = ended->made;
    // A backup stopped on purpose is no failure.
    if (!ended->failure.isEmpty() && !ended->stop)
        report(ended->failure);
}

void AutomaticBackup::run(Tdmfm &module, bool onlyFirstOfDay)
{
    Connection &connection = *module.ADOConnection1;
    if (!connection.dialect().copiesLedgerOnline())
        return;
    // Shared with the thread that makes the day's backup, which may outlive this call.
    const auto backups = std::make_shared<FileLedgerBackup>(DataSource::embeddedFile(connection.path()),
                                                            module.dataFolder());
    backups->spare(m_spared);
    if (onlyFirstOfDay) {
        // A login while the last one's backup still runs (a quick change of user): that
        // one is the day's, and the window is not held up waiting for it.
        if (m_running)
            return;
        auto running = std::make_unique<Running>();
        running->number = ++m_runs;
        Running *state = running.get();
        const QDate today = Clock::today();
        // The copy opens a connection of its own: the window's stays free for the
        // operator's writes, which the copy lets in between its slices.
        running->thread.reset(QThread::create([state, backups, today] {
            backups->setGoOn([state] { return !state->stop; });
            try {
                backups->protectFiles();
                if (!backups->hasBackupOf(today))
                    state->made = backups->backup();
            } catch (const std::exception &error) {
                state->failure = QString::fromUtf8(error.what());
            }
        }));
        QObject::connect(running->thread.get(), &QThread::finished, &m_receiver, [this, number = running->number] {
            if (m_running && m_running->number == number)
                wait();
        });
        m_running = std::move(running);
        m_running->thread->start();
        return;
    }
    try {
        backups->protectFiles();
        m_lastBackup = backups->backup(&connection);
    } catch (const std::exception &error) {
        report(QString::fromUtf8(error.what()));
    }
}

void AutomaticBackup::report(const QString &text)
{
    std::fprintf(stderr, "quillmora: %s\n", qPrintable(text));
    if (m_reported)
        return;
    m_reported = true;
    MessageBoxes::warning(m_parent, QStringLiteral("自动备份数据失败，账本数据没有受到影响。\n\n%1").arg(text));
}
