#include "upUpgradeInfo.h"
#include "upUpgraderUtils.h"

#include <QtTest>

using namespace Upgrade;

class TestUpgradeInfo : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parseDate_data();
    void parseDate();
    void formatDate();
    void compareNumbers_data();
    void compareNumbers();
    void isNewer_data();
    void isNewer();
    void temporaryFileName_data();
    void temporaryFileName();
    void totalPercents_data();
    void totalPercents();
    void networkAddress_data();
    void networkAddress();
};

void TestUpgradeInfo::parse_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("method");

    QTest::newRow("url then url2") << QByteArray("#url=A\r\n#url2=B\r\n") << QStringList{"A", "B"} << "" << 0;
    QTest::newRow("url0 then url1: numbering resumes at 2")
        << QByteArray("#url0=A\r\n#url1=B\r\n") << QStringList{"A"} << "" << 0;
    QTest::newRow("gap ends the list")
        << QByteArray("#url1=A\r\n#url2=B\r\n#url4=C\r\n") << QStringList{"A", "B"} << "" << 0;
    QTest::newRow("url, url0 and numbered")
        << QByteArray("#url3=C\n#url0=B\n#url=A\n") << QStringList{"A", "B", "C"} << "" << 0;
    QTest::newRow("empty url is skipped") << QByteArray("#url=\r\n#url1=B") << QStringList{"B"} << "" << 0;
    QTest::newRow("keys in any case") << QByteArray("#URL=A\n#Method=1") << QStringList{"A"} << "" << 1;
    QTest::newRow("first occurrence wins") << QByteArray("#url=A\n#url=B\n#method=2\n#method=1")
                                           << QStringList{"A"} << "" << 2;
    QTest::newRow("value keeps blanks, ends at a tab") << QByteArray("x #url= A b \tC") << QStringList{" A b "}
                                                       << "" << 0;
    QTest::newRow("empty body") << QByteArray() << QStringList{} << "" << 0;
    QTest::newRow("no url key") << QByteArray("#date=03/12/2014\n#version=2.0\n") << QStringList{} << "" << 0;
    QTest::newRow("braced message spans lines")
        << QByteArray("#url=A\r\n#message={Faster.\r\nFixes #12}\r\n#method=9") << QStringList{"A"}
        << "Faster.\r\nFixes #12" << 0;
    QTest::newRow("message without closing brace runs to the end")
        << QByteArray("#message={open\nend") << QStringList{} << "open\nend" << 0;
    QTest::newRow("UTF-8 text") << QByteArray("#url=http://h/升级.zip\n#message={新版本}")
                                << QStringList{QStringLiteral("http://h/升级.zip")} << QStringLiteral("新版本") << 0;
}

void TestUpgradeInfo::parse()
{
    QFETCH(QByteArray, body);
    const UpgradeInfoFile info = UpgradeInfoFile::parse(body);
    QTEST(info.files, "files");
    QTEST(info.message, "message");
    QTEST(int(info.method), "method");
}

void TestUpgradeInfo::parseDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    const QDate today(2024, 5, 1);

    QTest::newRow("month first") << "03/12/2014" << QDate(2014, 3, 12);
    QTest::newRow("single digits") << "3/1/2020" << QDate(2020, 3, 1);
    QTest::newRow("month 13") << "13/01/2014" << today;
    QTest::newRow("no such day") << "02/30/2014" << today;
    QTest::newRow("not numbers") << "March/12/2014" << today;
    QTest::newRow("two parts") << "03/12" << today;
    QTest::newRow("empty") << "" << today;
    QTest::newRow("trailing text") << "03/12/2014 x" << today;
}

void TestUpgradeInfo::parseDate()
{
    QFETCH(QString, text);
    QTEST(UpgradeVersion::parseDate(text, QDate(2024, 5, 1)), "date");
}

void TestUpgradeInfo::formatDate()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(UpgradeVersion::formatDate(QDate(2014, 3, 12)), QStringLiteral("03/12/2014"));
    QCOMPARE(UpgradeVersion::formatDate(QDate(987, 11, 5)), QStringLiteral("11/05/0987"));
    QLocale::setDefault(QLocale::c());
}

void TestUpgradeInfo::compareNumbers_data()
{
    QTest::addColumn<QString>("announced");
    QTest::addColumn<QString>("running");
    QTest::addColumn<int>("result");

    QTest::newRow("1.10 newer than 1.9") << "1.10" << "1.9" << 1;
    QTest::newRow("1.2 equals 1.2.0.0") << "1.2" << "1.2.0.0" << 0;
    QTest::newRow("older") << "2.0.1" << "2.0.3" << -1;
    QTest::newRow("numbers, not text") << "2" << "10" << -1;
    QTest::newRow("fifth part ignored") << "1.2.3.4.5" << "1.2.3.4.9" << 0;
    QTest::newRow("1.2b against 1.2 compares text") << "1.2b" << "1.2" << 1;
    QTest::newRow("1.2 against 1.2b compares text") << "1.2" << "1.2b" << -1;
    QTest::newRow("text comparison is final") << "1.x.9" << "1.y.1" << -1;
    QTest::newRow("minus one counts as text") << "1.-1" << "1.0" << -1;
    QTest::newRow("other negatives are numbers") << "1.-2" << "1.-3" << 1;
    QTest::newRow("empty running number") << "1.0" << "" << 1;
    QTest::newRow("both empty") << "" << "" << 0;
}

void TestUpgradeInfo::compareNumbers()
{
    QFETCH(QString, announced);
    QFETCH(QString, running);
    QFETCH(int, result);
    const int compared = UpgradeVersion::compareNumbers(announced, running);
    QCOMPARE(compared < 0 ? -1 : (compared > 0 ? 1 : 0), result);
}

void TestUpgradeInfo::isNewer_data()
{
    QTest::addColumn<int>("control");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("versionDate");
    QTest::addColumn<QString>("versionNumber");
    QTest::addColumn<bool>("newer");

    QTest::newRow("later date") << int(byDate) << QByteArray("#date=03/13/2014") << "03/12/2014" << "" << true;
    QTest::newRow("same date is not newer") << int(byDate) << QByteArray("#date=03/12/2014") << "03/12/2014" << ""
                                            << false;
    QTest::newRow("earlier date") << int(byDate) << QByteArray("#date=12/03/2013") << "03/12/2014" << "" << false;
    QTest::newRow("no date key means today") << int(byDate) << QByteArray("#url=A") << "03/12/2014" << "" << true;
    QTest::newRow("no date key, released today") << int(byDate) << QByteArray("#url=A") << "05/01/2024" << ""
                                                 << false;
    QTest::newRow("date ignores the number") << int(byDate) << QByteArray("#date=03/12/2014\n#version=9")
                                             << "03/12/2014" << "1" << false;
    QTest::newRow("greater number") << int(byNumber) << QByteArray("#version=1.10") << "" << "1.9" << true;
    QTest::newRow("equal number") << int(byNumber) << QByteArray("#version=1.2") << "" << "1.2.0.0" << false;
    QTest::newRow("number ignores the date") << int(byNumber) << QByteArray("#date=01/01/2030\n#version=1")
                                             << "03/12/2014" << "1" << false;
}

void TestUpgradeInfo::isNewer()
{
    QFETCH(int, control);
    QFETCH(QByteArray, body);
    QFETCH(QString, versionDate);
    QFETCH(QString, versionNumber);
    QTEST(UpgradeVersion::isNewer(TupVersionControl(control), UpgradeInfoFile::parse(body), versionDate,
                                  versionNumber, QDate(2024, 5, 1)),
          "newer");
}

void TestUpgradeInfo::temporaryFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("tempName");

    QTest::newRow("plain") << "http://127.0.0.1/files/data.txt" << "/opt/q/data.txt.uTMP";
    QTest::newRow("path of the address is dropped") << "http://h/a/b/c/quillmora" << "/opt/q/quillmora.uTMP";
    QTest::newRow("backslashes") << "http://h/a\\b\\setup.exe" << "/opt/q/setup.exe.uTMP";
    QTest::newRow("after a colon") << "file:readme" << "/opt/q/readme.uTMP";
    QTest::newRow("query stays in the name") << "http://h/get?f=x" << "/opt/q/get?f=x.uTMP";
    QTest::newRow("no name is refused") << "http://h/dir/" << "";
    QTest::newRow("dot-dot is refused") << "http://h/dir/.." << "";
    QTest::newRow("dot is refused") << "http://h/." << "";
}

void TestUpgradeInfo::temporaryFileName()
{
    QFETCH(QString, url);
    QTEST(upTemporaryFileName(url, QStringLiteral("/opt/q")), "tempName");
}

void TestUpgradeInfo::totalPercents_data()
{
    QTest::addColumn<int>("percentsDone");
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<int>("fileCount");
    QTest::addColumn<int>("total");

    QTest::newRow("one file") << 57 << 0 << 1 << 57;
    QTest::newRow("second of two, half done") << 50 << 1 << 2 << 75;
    QTest::newRow("second of three, done") << 100 << 1 << 3 << 66;
    QTest::newRow("third of three, started") << 1 << 2 << 3 << 67;
    QTest::newRow("halves to even: 12.5") << 0 << 1 << 8 << 12;
    QTest::newRow("halves to even: 37.5") << 0 << 3 << 8 << 38;
}

void TestUpgradeInfo::totalPercents()
{
    QFETCH(int, percentsDone);
    QFETCH(int, currentIndex);
    QFETCH(int, fileCount);
    QTEST(upTotalPercentsDone(percentsDone, currentIndex, fileCount), "total");
}

void TestUpgradeInfo::networkAddress_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<bool>("online");

    QTest::newRow("nothing") << QStringList{} << false;
    QTest::newRow("loopback only") << QStringList{"127.0.0.1", "::1"} << false;
    QTest::newRow("loopback and link-local") << QStringList{"127.0.0.1", "::1", "fe80::1c2:3ff:fe4d:5e6f"} << false;
    QTest::newRow("other loopback") << QStringList{"127.0.1.1"} << false;
    QTest::newRow("private network") << QStringList{"127.0.0.1", "192.168.1.20"} << true;
    QTest::newRow("global IPv6") << QStringList{"::1", "2001:db8::5"} << true;
}

void TestUpgradeInfo::networkAddress()
{
    QFETCH(QStringList, addresses);
    QTEST(upHasNetworkAddress(addresses), "online");
}

QTEST_GUILESS_MAIN(TestUpgradeInfo)
#include "tst_upgradeinfo.moc"
