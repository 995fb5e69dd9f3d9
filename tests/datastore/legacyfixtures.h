#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

// The Windows version's data files kept under tests/data/legacy (see its README).
inline QString legacyFixture(const QString &name)
{
    if (name == QLatin1String("legacy-extra.mdb"))
        return QString::fromUtf8(LEGACY_EXTRA_MDB); // made by the build from legacy-small.mdb
    if (name == QLatin1String("legacy-rowid.mdb"))
        return QString::fromUtf8(LEGACY_ROWID_MDB); // the same, its extra column named rowid
    return qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/data/legacy/") + name;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The eight stored bytes of a double, to find a value in a file and damage it.
inline QByteArray doubleBytes(double value)
{
    return QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
}
