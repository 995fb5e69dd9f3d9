#include "upRelease.h"

#include <QtTest>

namespace {

const QByteArray kInfo = "#url=https://updates.example.com/q/quillmora\r\n"
                         "#url2=https://updates.example.com/q/data.txt\r\n"
                         "#date=05/01/2025\r\n"
                         "#version=3.6.0\r\n"
                         "#message={Faster reports.\r\nNew skins.}\r\n";

QList<Release::Download> downloadsOf(const QByteArray &program, const QByteArray &data)
{
    return {{QStringLiteral("https://updates.example.com/q/quillmora"), program.size(), Release::sha256Hex(program)},
            {QStringLiteral("https://updates.example.com/q/data.txt"), data.size(), Release::sha256Hex(data)}};
}

QByteArray replaced(QByteArray text, const QByteArray &before, const QByteArray &after)
{
    if (!text.contains(before))
        qFatal("fixture has no \"%s\"", before.constData());
    return text.replace(before, after);
}

} // namespace

// Signed information files: what the publishing tool writes and the application checks.
class TestRelease : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sha256OfKnownTexts();
    void keysRoundTrip();
    void signedFileVerifiesAndReadsAsBefore();
    void resigningReplacesTheOldLines();
    void tamperedFilesAreRefused_data();
    void tamperedFilesAreRefused();
    void signedButIncomplete_data();
    void signedButIncomplete();

private:
    Release::KeyPair m_keys;
    Release::KeyPair m_otherKeys;
    QByteArray m_signed;
};

void TestRelease::initTestCase()
{
    m_keys = Release::generateKeyPair();
    m_otherKeys = Release::generateKeyPair();
    QCOMPARE(m_keys.publicKey.size(), Release::kPublicKeyBytes);
    QCOMPARE(m_keys.secretKey.size(), Release::kSecretKeyBytes);
    QVERIFY(m_keys.publicKey != m_otherKeys.publicKey);
    m_signed = Release::sign(kInfo, downloadsOf("program bytes", "data"), m_keys.secretKey);
}

void TestRelease::sha256OfKnownTexts()
{
    QCOMPARE(Release::sha256Hex(""), QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
    QCOMPARE(Release::sha256Hex("abc"), QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    QTemporaryDir dir;
    QFile file(dir.filePath("big.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray big(200000, 'q'); // more than one block of the file reader
    file.write(big);
    file.close();
    qint64 size = -1;
    QCOMPARE(Release::sha256HexOfFile(file.fileName(), &size), Release::sha256Hex(big));
    QCOMPARE(size, qint64(big.size()));
    QCOMPARE(Release::sha256HexOfFile(dir.filePath("absent")), QByteArray());
}

void TestRelease::keysRoundTrip()
{
    const QByteArray publicText = Release::encodeKey(m_keys.publicKey);
    QVERIFY(publicText.endsWith('\n'));
    QCOMPARE(Release::decodePublicKey(publicText), m_keys.publicKey);
    QCOMPARE(Release::decodePublicKey("  " + publicText.trimmed() + "\r\n"), m_keys.publicKey);
    QCOMPARE(Release::decodeSecretKey(Release::encodeKey(m_keys.secretKey)), m_keys.secretKey);
    QCOMPARE(Release::publicKeyOf(m_keys.secretKey), m_keys.publicKey);
    // Neither kind passes for the other, and text that is not base64 is no key.
    QCOMPARE(Release::decodePublicKey(Release::encodeKey(m_keys.secretKey)), QByteArray());
    QCOMPARE(Release::decodeSecretKey(publicText), QByteArray());
    QCOMPARE(Release::decodePublicKey("not a key at all, not at all, not at all!!"), QByteArray());
}

void TestRelease::signedFileVerifiesAndReadsAsBefore()
{
    QVERIFY(m_signed.startsWith(kInfo));
    QVERIFY(m_signed.endsWith("\r\n"));
    const Release::Verification verification = Release::verify(m_signed, m_keys.publicKey);
    QVERIFY2(verification.valid, qPrintable(verification.problem));
    QCOMPARE(verification.signedPart, m_signed.left(m_signed.indexOf("#signature=")));
    QCOMPARE(verification.info.version, QStringLiteral("3.6.0"));
    QCOMPARE(verification.downloads.size(), 2);
    const Release::Download program = verification.downloads.value(QStringLiteral("https://updates.example.com/q/quillmora"));
    QCOMPARE(program.size, qint64(13));
    QCOMPARE(program.sha256, Release::sha256Hex("program bytes"));

    // The reader of the older format sees exactly what it saw before signing.
    const UpgradeInfoFile before = UpgradeInfoFile::parse(kInfo);
    const UpgradeInfoFile after = UpgradeInfoFile::parse(m_signed);
    QCOMPARE(after.files, before.files);
    QCOMPARE(after.date, before.date);
    QCOMPARE(after.version, before.version);
    QCOMPARE(after.message, before.message);
    QCOMPARE(int(after.method), int(before.method));
}

void TestRelease::resigningReplacesTheOldLines()
{
    const QByteArray again = Release::sign(m_signed, downloadsOf("program, second build", "data"), m_keys.secretKey);
    QCOMPARE(again.count("#download="), 2);
    QCOMPARE(again.count("#signature="), 1);
    QVERIFY(again.startsWith(kInfo));
    const Release::Verification verification = Release::verify(again, m_keys.publicKey);
    QVERIFY2(verification.valid, qPrintable(verification.problem));
    QCOMPARE(verification.downloads.value(QStringLiteral("https://updates.example.com/q/quillmora")).size, qint64(21));
    // A file with line feeds keeps them.
    const QByteArray lineFeeds = QByteArray(kInfo).replace("\r\n", "\n");
    const QByteArray signedUnix = Release::sign(lineFeeds, downloadsOf("p", "d"), m_keys.secretKey);
    QVERIFY(!signedUnix.contains('\r'));
    QVERIFY(Release::verify(signedUnix, m_keys.publicKey).valid);
}

void TestRelease::tamperedFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("otherKey");
    QTest::addColumn<QString>("problem");

    QTest::newRow("unsigned, older format") << kInfo << false << "not signed";
    QTest::newRow("a letter of the message") << replaced(m_signed, "Faster", "Fastor") << false << "does not match";
    QTest::newRow("an address") << replaced(m_signed, "#url2=https://updates.example.com/q/data.txt",
                                            "#url2=https://elsewhere.example.net/q/data.txt")
                                << false << "does not match";
    QTest::newRow("the release number") << replaced(m_signed, "#version=3.6.0", "#version=9.6.0") << false
                                        << "does not match";
    QTest::newRow("a size") << replaced(m_signed, "#download=13 ", "#download=14 ") << false << "does not match";
    QTest::newRow("line ends") << QByteArray(m_signed).replace("\r\n", "\n") << false << "does not match";
    QTest::newRow("a line added at the top") << "#url0=https://evil.example/x\r\n" + m_signed << false
                                             << "does not match";
    QTest::newRow("a line after the signature") << m_signed + "#url3=https://evil.example/x\r\n" << false
                                                << "not the last line";
    QTest::newRow("signature cut") << m_signed.left(m_signed.size() - 10) + "\r\n" << false << "malformed";
    QTest::newRow("signature of another scheme")
        << replaced(m_signed, "#signature=ed25519:", "#signature=rsa:") << false << "not an Ed25519";
    QTest::newRow("signed with another key") << m_signed << true << "does not match";
}

void TestRelease::tamperedFilesAreRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, otherKey);
    QFETCH(QString, problem);
    const Release::Verification verification
        = Release::verify(file, otherKey ? m_otherKeys.publicKey : m_keys.publicKey);
    QVERIFY(!verification.valid);
    QVERIFY2(verification.problem.contains(problem), qPrintable(verification.problem));
    QVERIFY(verification.downloads.isEmpty());
}

void TestRelease::signedButIncomplete_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QList<Release::Download>>("downloads");
    QTest::addColumn<QString>("problem");

    const QList<Release::Download> both = downloadsOf("p", "d");
    QTest::newRow("no release number") << replaced(kInfo, "#version=3.6.0\r\n", "") << both << "no release number";
    QTest::newRow("a listed file without its line") << kInfo << both.mid(0, 1) << "listed without";
    QTest::newRow("a line for a file that is not listed")
        << replaced(kInfo, "#url2=https://updates.example.com/q/data.txt\r\n", "") << both << "not a listed file";
    QTest::newRow("the same file twice") << kInfo << (both + both.mid(1)) << "more than one";
    Release::Download bad = both.first();
    bad.sha256 = "xyz";
    QTest::newRow("not a SHA-256") << kInfo << QList<Release::Download>{bad, both.last()} << "malformed download";
}

void TestRelease::signedButIncomplete()
{
    // Correctly signed, yet not something the application could check downloads by.
    QFETCH(QByteArray, info);
    QFETCH(QList<Release::Download>, downloads);
    QFETCH(QString, problem);
    const Release::Verification verification
        = Release::verify(Release::sign(info, downloads, m_keys.secretKey), m_keys.publicKey);
    QVERIFY(!verification.valid);
    QVERIFY2(verification.problem.contains(problem), qPrintable(verification.problem));
}

QTEST_GUILESS_MAIN(TestRelease)
#include "tst_release.moc"
