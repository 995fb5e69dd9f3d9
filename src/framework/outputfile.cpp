#include "outputfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Large enough that a million-row export makes few system calls.
constexpr qsizetype kBufferSize = 256 * 1024;

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

} // namespace

OutputFile::OutputFile(QString fileName) : m_fileName(std::move(fileName))
{
}

OutputFile::~OutputFile()
{
    discard();
}

QString OutputFile::reasonFor(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入该位置的权限");
    case EROFS:
        return QStringLiteral("该位置只能读取，不能写入");
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("磁盘空间不足");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EISDIR:
        return QStringLiteral("已有同名的文件夹");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EFBIG:
        return QStringLiteral("文件超出了该位置允许的大小");
    case EIO:
        return QStringLiteral("读写设备出错");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件过多");
    default:
        return QStringLiteral("系统错误 %1").arg(error);
    }
}

bool OutputFile::create()
{
    const QFileInfo target(m_fileName);
    const QString folder = target.absolutePath();
    for (int attempt = 0; attempt < 20; ++attempt) {
        // Hidden, beside the final name, so the rename stays on one file system.
        m_temporaryName = folder + QStringLiteral("/.") + target.fileName()
                          + QStringLiteral(".%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_descriptor = ::open(encoded(m_temporaryName).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_descriptor >= 0)
            break;
        if (errno != EEXIST) {
            const int error = errno;
            setFailure(error);
            // A folder that exists yet takes no new file (a system folder such as /proc).
            if (error == ENOENT && QFileInfo(folder).isDir()) {
                m_reason = QStringLiteral("该位置不能新建文件");
                setErrorString(m_reason);
            }
            m_temporaryName.clear();
            return false;
        }
    }
    if (m_descriptor < 0) {
        setFailure(EEXIST);
        m_temporaryName.clear();
        return false;
    }
    m_buffer.reserve(kBufferSize);
    return QIODevice::open(QIODevice::WriteOnly);
}

void OutputFile::setFailure(int error)
{
    if (m_failed)
        return;
    m_failed = true;
    m_reason = reasonFor(error);
    setErrorString(m_reason);
}

void OutputFile::fail(int error)
{
    setFailure(error);
}

bool OutputFile::flushBuffer()
{
    const char *data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0 && !m_failed) {
        const ssize_t written = ::write(m_descriptor, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            setFailure(errno);
            break;
        }
        data += written;
        left -= written;
    }
    m_buffer.clear();
    return !m_failed;
}

qint64 OutputFile::readData(char *, qint64)
{
    return -1;
}

qint64 OutputFile::writeData(const char *data, qint64 size)
{
    if (m_failed || m_descriptor < 0)
        return -1;
    if (m_buffer.size() + size > kBufferSize && !flushBuffer())
        return -1;
    if (size >= kBufferSize) {
        m_buffer = QByteArray(data, size);
        return flushBuffer() ? size : -1;
    }
    m_buffer.append(data, size);
    return size;
}

bool OutputFile::commit()
{
    if (m_committed)
        return true;
    if (m_descriptor >= 0) {
        flushBuffer();
        if (::close(m_descriptor) != 0)
            setFailure(errno);
        m_descriptor = -1;
    }
    QIODevice::close();
    if (!m_failed && m_temporaryName.isEmpty())
        setFailure(ENOENT);
    if (!m_failed && ::rename(encoded(m_temporaryName).constData(), encoded(m_fileName).constData()) != 0)
        setFailure(errno);
    if (m_failed) {
        discard();
        return false;
    }
    m_committed = true;
    m_temporaryName.clear();
    return true;
}

void OutputFile::discard()
{
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    if (isOpen())
        QIODevice::close();
    if (!m_committed && !m_temporaryName.isEmpty()) {
        ::unlink(encoded(m_temporaryName).constData());
        m_temporaryName.clear();
    }
}
