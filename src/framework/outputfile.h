#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

// A file that only appears under its name once it is complete. It is written under a
// temporary name in the same folder and put in place by commit(); until then a file
// of that name keeps its old content. A file that is destroyed uncommitted, or whose
// writing failed, removes its temporary file, so a failed write leaves nothing behind.
//
// Writes are buffered; the first failing write (a full disk, say) makes every later
// write fail, and reason() says why in the operator's words.
class OutputFile : public QIODevice
{
public:
    explicit OutputFile(QString fileName);
    ~OutputFile() override;

    // Creates the temporary file; false with reason() set when the folder cannot take it.
    bool create();
    // Writes what is buffered, closes the temporary file and gives it the final name.
    // false with reason() set when any of that fails; the temporary file is then gone.
    bool commit();
    // Removes the temporary file (a no-op after commit()).
    void discard();

    const QString &fileName() const { return m_fileName; }
    // The temporary name while the file is being written.
    const QString &temporaryName() const { return m_temporaryName; }
    // Why the last step failed, in Chinese; empty when nothing failed.
    const QString &reason() const { return m_reason; }
    // Records a failure that happened outside this class (a library writing the
    // temporary file by name) so that commit() refuses and reason() tells it.
    void fail(int error);

    bool isSequential() const override { return true; }

    // The operator's words for a system error number ("磁盘空间不足" for ENOSPC …).
    static QString reasonFor(int error);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool flushBuffer();
    void setFailure(int error);

    QString m_fileName;
    QString m_temporaryName;
    int m_descriptor = -1;
    QByteArray m_buffer;
    bool m_failed = false;
    bool m_committed = false;
    QString m_reason;
};
