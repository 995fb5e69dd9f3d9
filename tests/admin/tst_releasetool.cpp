#include "testfiles.h"
#include "upRelease.h"

#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct Run
{
    int exitCode;
    QString output; // standard output, then standard error
};

Run runAdmin(const QStringList &arguments)
{
    QProcess process;
    process.setProgram(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora-admin"));
    process.setArguments(arguments);
    process.start();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

const QByteArray kInfo = "#url=https://updates.example.com/q/quillmora\r\n"
                         "#url2=https://updates.example.com/q/data.txt\r\n"
                         "#date=05/01/2025\r\n"
                         "#version=3.6.0\r\n"
                         "#message={Faster reports.}\r\n";

} // namespace

// The publishing commands of quillmora-admin, run as the publisher runs them.
class ReleaseToolTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keygenMakesOnePairOnly();
    void signThenVerify();
    void signRefuses_data();
    void signRefuses();
    void verifyRefuses_data();
    void verifyRefuses();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void makeRelease();

    std::unique_ptr<QTemporaryDir> m_dir;
};

void ReleaseToolTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void ReleaseToolTest::makeRelease()
{
    const Run keygen = runAdmin({QStringLiteral("release-keygen"), path(QStringLiteral("keys"))});
    QVERIFY2(keygen.exitCode == 0, qPrintable(keygen.output));
    QVERIFY(QDir().mkpath(path(QStringLiteral("upload"))));
    writeFile(path(QStringLiteral("upload/info.txt")), kInfo);
    writeFile(path(QStringLiteral("upload/quillmora")), "the new program");
    writeFile(path(QStringLiteral("upload/data.txt")), "new data");
}

void ReleaseToolTest::keygenMakesOnePairOnly()
{
    const QString keys = path(QStringLiteral("keys"));
    const Run first = runAdmin({QStringLiteral("release-keygen"), keys});
    QCOMPARE(first.exitCode, 0);
    QVERIFY2(first.output.contains(QStringLiteral("keep it safe and off the web server")), qPrintable(first.output));
    const QByteArray secret = readFile(keys + QStringLiteral("/release.key"));
    const QByteArray publicKey = readFile(keys + QStringLiteral("/release.pub"));
    QCOMPARE(Release::publicKeyOf(Release::decodeSecretKey(secret)), Release::decodePublicKey(publicKey));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(keys + QStringLiteral("/release.key")).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0600));
    QCOMPARE(::stat(QFile::encodeName(keys).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0700)); // the folder it made for them

    // A second run must not replace the pair every installed copy trusts.
    const Run second = runAdmin({QStringLiteral("release-keygen"), keys});
    QCOMPARE(second.exitCode, 1);
    QVERIFY2(second.output.contains(QStringLiteral("exists already")), qPrintable(second.output));
    QCOMPARE(readFile(keys + QStringLiteral("/release.key")), secret);
    QCOMPARE(readFile(keys + QStringLiteral("/release.pub")), publicKey);
}

void ReleaseToolTest::signThenVerify()
{
    makeRelease();
    const Run signing = runAdmin({QStringLiteral("release-sign"), QStringLiteral("--key"), path(QStringLiteral("keys/release.key")),
                                  path(QStringLiteral("upload/info.txt")), path(QStringLiteral("upload/quillmora")),
                                  path(QStringLiteral("upload/data.txt"))});
    QVERIFY2(signing.exitCode == 0, qPrintable(signing.output));
    const QByteArray signedInfo = readFile(path(QStringLiteral("upload/info.txt")));
    QVERIFY(signedInfo.startsWith(kInfo));
    QVERIFY(signedInfo.contains("#download=15 " + Release::sha256Hex("the new program")
                                + " https://updates.example.com/q/quillmora\r\n"));
    QVERIFY(signedInfo.contains("#download=8 " + Release::sha256Hex("new data") + " https://updates.example.com/q/data.txt\r\n"));
    const QByteArray publicKey = Release::decodePublicKey(readFile(path(QStringLiteral("keys/release.pub"))));
    QVERIFY(Release::verify(signedInfo, publicKey).valid);

    const Run verifying = runAdmin({QStringLiteral("release-verify"), QStringLiteral("--pub"), path(QStringLiteral("keys/release.pub")),
                                    path(QStringLiteral("upload/info.txt")), path(QStringLiteral("upload/quillmora")),
                                    path(QStringLiteral("upload/data.txt"))});
    QVERIFY2(verifying.exitCode == 0, qPrintable(verifying.output));
    for (const QString &line : {QStringLiteral("signature: valid"), QStringLiteral("release number: 3.6.0"),
                                QStringLiteral("release date: 05/01/2025"), QStringLiteral("message: Faster reports."),
                                QStringLiteral("file 1: https://updates.example.com/q/quillmora"),
                                QStringLiteral("15 bytes, SHA-256 ") + QString::fromLatin1(Release::sha256Hex("the new program")),
                                QStringLiteral("data.txt: matches https://updates.example.com/q/data.txt")})
        QVERIFY2(verifying.output.contains(line), qPrintable(line + QStringLiteral(" not in:\n") + verifying.output));

    // A local file that is not the one signed is a mismatch.
    writeFile(path(QStringLiteral("upload/data.txt")), "new data, changed");
    const Run changed = runAdmin({QStringLiteral("release-verify"), QStringLiteral("--pub"), path(QStringLiteral("keys/release.pub")),
                                  path(QStringLiteral("upload/info.txt")), path(QStringLiteral("upload/data.txt"))});
    QCOMPARE(changed.exitCode, 1);
    QVERIFY2(changed.output.contains(QStringLiteral("data.txt: MISMATCH")), qPrintable(changed.output));

    // Signing again (a corrected file) replaces the old lines instead of adding more.
    QVERIFY(runAdmin({QStringLiteral("release-sign"), QStringLiteral("--key"), path(QStringLiteral("keys/release.key")),
                      path(QStringLiteral("upload/info.txt")), path(QStringLiteral("upload/quillmora")),
                      path(QStringLiteral("upload/data.txt"))})
                .exitCode
            == 0);
    const QByteArray resigned = readFile(path(QStringLiteral("upload/info.txt")));
    QCOMPARE(resigned.count("#download="), 2);
    QCOMPARE(resigned.count("#signature="), 1);
    QVERIFY(Release::verify(resigned, publicKey).valid);
}

void ReleaseToolTest::signRefuses_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QStringList both{"upload/quillmora", "upload/data.txt"};
    QTest::newRow("no release number") << QByteArray(kInfo).replace("#version=3.6.0\r\n", "") << both
                                       << "keys/release.key" << 1 << "names no release number";
    QTest::newRow("a listed file not given") << kInfo << QStringList{"upload/quillmora"} << "keys/release.key" << 1
                                             << "no file named \"data.txt\"";
    QTest::newRow("a file that is not listed") << kInfo << (both + QStringList{"upload/extra.bin"})
                                               << "keys/release.key" << 1 << "is not listed";
    QTest::newRow("public key given as the secret one") << kInfo << both << "keys/release.pub" << 1
                                                        << "not a release secret key";
    QTest::newRow("no key") << kInfo << both << "" << 2 << "--key FILE is missing";
}

void ReleaseToolTest::signRefuses()
{
    QFETCH(QByteArray, info);
    QFETCH(QStringList, files);
    QFETCH(QString, key);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    makeRelease();
    writeFile(path(QStringLiteral("upload/info.txt")), info);
    writeFile(path(QStringLiteral("upload/extra.bin")), "extra");
    QStringList arguments{QStringLiteral("release-sign")};
    if (!key.isEmpty())
        arguments << QStringLiteral("--key") << path(key);
    arguments << path(QStringLiteral("upload/info.txt"));
    for (const QString &file : files)
        arguments << path(file);
    const Run run = runAdmin(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.output.contains(message), qPrintable(run.output));
    // The information file is left as it was.
    QCOMPARE(readFile(path(QStringLiteral("upload/info.txt"))), info);
}

void ReleaseToolTest::verifyRefuses_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("information file changed") << "info" << "does not match the release key";
    QTest::newRow("key of another pair") << "key" << "does not match the release key";
    QTest::newRow("not signed") << "unsigned" << "not signed";
}

void ReleaseToolTest::verifyRefuses()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    makeRelease();
    QVERIFY(runAdmin({QStringLiteral("release-sign"), QStringLiteral("--key"), path(QStringLiteral("keys/release.key")),
                      path(QStringLiteral("upload/info.txt")), path(QStringLiteral("upload/quillmora")),
                      path(QStringLiteral("upload/data.txt"))})
                .exitCode
            == 0);
    QString publicKey = path(QStringLiteral("keys/release.pub"));
    if (change == QLatin1String("info"))
        writeFile(path(QStringLiteral("upload/info.txt")), readFile(path(QStringLiteral("upload/info.txt"))).replace("3.6.0", "3.6.1"));
    if (change == QLatin1String("key")) {
        QVERIFY(runAdmin({QStringLiteral("release-keygen"), path(QStringLiteral("other"))}).exitCode == 0);
        publicKey = path(QStringLiteral("other/release.pub"));
    }
    if (change == QLatin1String("unsigned"))
        writeFile(path(QStringLiteral("upload/info.txt")), kInfo);
    const Run run = runAdmin({QStringLiteral("release-verify"), QStringLiteral("--pub"), publicKey,
                              path(QStringLiteral("upload/info.txt"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(QStringLiteral("NOT VALID")) && run.output.contains(message), qPrintable(run.output));
    QVERIFY(!run.output.contains(QStringLiteral("signature: valid")));
}

QTEST_GUILESS_MAIN(ReleaseToolTest)
#include "tst_releasetool.moc"
