#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

// Whole files for tests.

// A file's bytes; "<missing>" when it cannot be read, so a comparison names the fault.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes a fixture file whole; a fixture that cannot be made ends the test run.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}
