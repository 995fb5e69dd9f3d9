#include "apperror.h"
#include "upUtils.h"

#include <QTest>
#include <QTimeZone>
#include <ctime>

class TestUpUtils : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A zone with daylight saving time, so the local conversion shows.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void httpDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("utc"); // invalid: no date

        const QDateTime moment(QDate(1994, 11, 6), QTime(8, 49, 37), QTimeZone::utc());
        QTest::newRow("abbreviated weekday, four-digit year") << "Sun, 06 Nov 1994 08:49:37 GMT" << moment;
        QTest::newRow("full weekday, dashes, two-digit year") << "Sunday, 06-Nov-94 08:49:37 GMT" << moment;
        QTest::newRow("asctime, time before year") << "Sun Nov  6 08:49:37 1994" << moment;
        QTest::newRow("blanks around, lower case") << "  sun, 06 nov 1994 08:49:37 gmt  " << moment;
        QTest::newRow("no weekday") << "06 Nov 1994 08:49:37 GMT" << moment;
        QTest::newRow("positive offset is subtracted") << "Sun, 06 Nov 1994 09:49:37 +0100" << moment;
        QTest::newRow("negative offset is added") << "Sun, 06 Nov 1994 07:19:37 -0130" << moment;
        QTest::newRow("no time") << "Sun, 06 Nov 1994" << QDateTime(QDate(1994, 11, 6), QTime(0, 0), QTimeZone::utc());
        QTest::newRow("year 79 is 2079") << "Mon, 06-Nov-79 00:00:00 GMT"
                                         << QDateTime(QDate(2079, 11, 6), QTime(0, 0), QTimeZone::utc());
        QTest::newRow("year 80 is 1980") << "Thu, 06-Nov-80 00:00:00 GMT"
                                         << QDateTime(QDate(1980, 11, 6), QTime(0, 0), QTimeZone::utc());
        QTest::newRow("summer date") << "Wed, 06 Jul 1994 08:49:37 GMT"
                                     << QDateTime(QDate(1994, 7, 6), QTime(8, 49, 37), QTimeZone::utc());
        QTest::newRow("empty") << "" << QDateTime();
        QTest::newRow("blanks") << "   " << QDateTime();
        QTest::newRow("unknown month") << "Sun, 06 Nox 1994 08:49:37 GMT" << QDateTime();
        QTest::newRow("no such day") << "Thu, 31 Feb 1994 08:49:37 GMT" << QDateTime();
        QTest::newRow("hour out of range") << "Sun, 06 Nov 1994 25:49:37 GMT" << QDateTime();
        QTest::newRow("no year") << "Sun Nov  6 08:49:37" << QDateTime();
        QTest::newRow("garbage") << "yesterday" << QDateTime();
    }

    void httpDate()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, utc);
        const QDateTime result = upHTTPDateToDateTime(text);
        if (!utc.isValid()) {
            QVERIFY2(!result.isValid(), qPrintable(result.toString(Qt::ISODate)));
            return;
        }
        QCOMPARE(result.timeSpec(), Qt::LocalTime);
        QCOMPARE(result.toUTC(), utc);
    }

    void httpDateUsesTheOffsetOfThatDay()
    {
        // Winter time in November, summer time in July, whatever today is.
        QCOMPARE(upHTTPDateToDateTime("Sun, 06 Nov 1994 08:49:37 GMT").time(), QTime(9, 49, 37));
        QCOMPARE(upHTTPDateToDateTime("Wed, 06 Jul 1994 08:49:37 GMT").time(), QTime(10, 49, 37));
    }

    void crackURL_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("parts"); // scheme, host, user, password, path, extra
        QTest::addColumn<int>("port");

        QTest::newRow("full") << "http://ann:pw@example.org:8080/dir/file.txt?x=1#top" << true
                              << QStringList{"http", "example.org", "ann", "pw", "/dir/file.txt", "?x=1#top"} << 8080;
        QTest::newRow("no scheme gets http") << "example.org/info.txt" << true
                                             << QStringList{"http", "example.org", "", "", "/info.txt", ""} << 80;
        QTest::newRow("https default port") << "https://example.org" << true
                                            << QStringList{"https", "example.org", "", "", "", ""} << 443;
        QTest::newRow("scheme case kept, default port found") << "HTTPS://example.org/" << true
                                                              << QStringList{"HTTPS", "example.org", "", "", "/", ""} << 443;
        QTest::newRow("no host") << "http://" << true << QStringList{"http", "", "", "", "", ""} << 80;
        QTest::newRow("file address") << "file:///tmp/a%20b.txt" << true
                                      << QStringList{"file", "", "", "", "/tmp/a%20b.txt", ""} << 0;
        QTest::newRow("user without password") << "ftp://ann@host/x" << true
                                               << QStringList{"ftp", "host", "ann", "", "/x", ""} << 21;
        QTest::newRow("ipv6 host") << "http://[::1]:81/x" << true << QStringList{"http", "::1", "", "", "/x", ""} << 81;
        QTest::newRow("port not a number") << "http://host:8o/x" << false << QStringList{"", "", "", "", "", ""} << 0;
        QTest::newRow("port too large") << "http://host:65536/x" << false << QStringList{"", "", "", "", "", ""} << 0;
        QTest::newRow("empty scheme") << "://host/x" << false << QStringList{"", "", "", "", "", ""} << 0;
        QTest::newRow("host too long") << "http://" + QString(257, 'h') + "/x" << false
                                       << QStringList{"", "", "", "", "", ""} << 0;
        QTest::newRow("host at the limit") << "http://" + QString(256, 'h') << true
                                           << QStringList{"http", QString(256, 'h'), "", "", "", ""} << 80;
    }

    void crackURL()
    {
        QFETCH(QString, url);
        QFETCH(bool, ok);
        QFETCH(QStringList, parts);
        QFETCH(int, port);
        TupURLParts result;
        result.Scheme = "left over";
        result.Port = 99;
        QCOMPARE(upCrackURL(url, result), ok);
        QCOMPARE(QStringList({result.Scheme, result.HostName, result.UserName, result.Password, result.UrlPath,
                              result.ExtraInfo}),
                 parts);
        QCOMPARE(result.Port, port);
    }

    void proxyBypass_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("bypassed");
        QTest::newRow("default list, loopback") << "127.0.0.1;" << "127.0.0.1" << true;
        QTest::newRow("default list, other host") << "127.0.0.1;" << "example.org" << false;
        QTest::newRow("empty list") << "" << "127.0.0.1" << false;
        QTest::newRow("wildcard") << "10.*;127.0.0.*" << "127.0.0.1" << true;
        QTest::newRow("wildcard does not match") << "10.*" << "127.0.0.1" << false;
        QTest::newRow("domain wildcard, case ignored") << "*.Example.ORG" << "www.example.org" << true;
        QTest::newRow("question mark") << "host?" << "host7" << true;
        QTest::newRow("blank and comma separators") << "a.test, b.test  c.test" << "c.test" << true;
        QTest::newRow("entry with port matches that port") << "127.0.0.1:8080" << "127.0.0.1" << true;
        QTest::newRow("entry with port, other port") << "127.0.0.1:9090" << "127.0.0.1" << false;
        QTest::newRow("local names") << "<local>" << "intranet" << true;
        QTest::newRow("local names, dotted host") << "<local>" << "intra.net" << false;
        QTest::newRow("scheme prefix") << "http://127.0.0.1" << "127.0.0.1" << true;
    }

    void proxyBypass()
    {
        QFETCH(QString, list);
        QFETCH(QString, host);
        QFETCH(bool, bypassed);
        QCOMPARE(upProxyBypassed(list, host, 8080), bypassed);
    }

    void statistics_data()
    {
        QTest::addColumn<qint64>("length");
        QTest::addColumn<qint64>("read");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<int>("percents");
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<qint64>("left");
        QTest::addColumn<float>("rate");

        QTest::newRow("12.5 rounds down to even") << qint64(2040) << qint64(255) << qint64(0) << 12 << qint64(0)
                                                  << qint64(0) << 255 / 1024.0f;
        QTest::newRow("37.5 rounds up to even") << qint64(2040) << qint64(765) << qint64(999) << 38 << qint64(0)
                                                << qint64(0) << 765 / 1024.0f;
        QTest::newRow("unknown length") << qint64(0) << qint64(5000) << qint64(4000) << 0 << qint64(4) << qint64(0)
                                        << 5000 / 1024.0f / 4;
        QTest::newRow("a quarter after 10 s") << qint64(4096) << qint64(1024) << qint64(10500) << 25 << qint64(10)
                                              << qint64(30) << 0.1f;
        QTest::newRow("complete") << qint64(3000) << qint64(3000) << qint64(2000) << 100 << qint64(2) << qint64(0)
                                  << 3000 / 1024.0f / 2;
        QTest::newRow("time left: 12.5 rounds to 12") << qint64(3000) << qint64(1200) << qint64(5000) << 40
                                                      << qint64(5) << qint64(7) << 1200 / 1024.0f / 5;
    }

    void statistics()
    {
        QFETCH(qint64, length);
        QFETCH(qint64, read);
        QFETCH(qint64, elapsedMs);
        QFETCH(int, percents);
        QFETCH(qint64, elapsed);
        QFETCH(qint64, left);
        QFETCH(float, rate);
        const TupTransferStatistics stats = upTransferStatistics(length, read, elapsedMs);
        QCOMPARE(stats.PercentsDone, percents);
        QCOMPARE(stats.ElapsedTime, elapsed);
        QCOMPARE(stats.EstimatedTimeLeft, left);
        QCOMPARE(stats.TransferRate, rate);
    }

    void statusText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("10") << 10 << "Resolving name";
        QTest::newRow("21") << 21 << "Connected";
        QTest::newRow("30") << 30 << "Sending Request";
        QTest::newRow("42") << 42 << "CTL Response received";
        QTest::newRow("110") << 110 << "Redirect";
        QTest::newRow("200") << 200 << "State change";
        QTest::newRow("other") << 12 << "Unknown status";
    }

    void statusText()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(upStatusText(code), text);
    }

    void loginInfo_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("both") << "keeper" << "opensesame";
        QTest::newRow("password only") << "" << "p";
        QTest::newRow("user only") << "店主" << "";
        QTest::newRow("longest that fits") << QString(100, 'u') << QString(154, 'p');
    }

    void loginInfo()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        const QByteArray stored = upWriteLoginInfo(user, password);
        QCOMPARE(static_cast<unsigned char>(stored.at(0)), stored.size() - 1);
        QString readUser = "x";
        QString readPassword = "y";
        QVERIFY(upReadLoginInfo(stored, readUser, readPassword));
        QCOMPARE(readUser, user);
        QCOMPARE(readPassword, password);
    }

    void loginInfoLimitsAndDamage()
    {
        QVERIFY(upWriteLoginInfo("", "").isEmpty());
        QVERIFY_THROWS_EXCEPTION(AppError, upWriteLoginInfo(QString(100, 'u'), QString(155, 'p')));

        const QByteArray stored = upWriteLoginInfo("keeper", "opensesame");
        QString user = "kept";
        QString password = "kept";
        QVERIFY(!upReadLoginInfo(stored.left(5), user, password));         // cut short
        QByteArray badUserLength = stored;
        badUserLength[1] = static_cast<char>(badUserLength.at(1) ^ 0x40);  // user length past the end
        QVERIFY(!upReadLoginInfo(badUserLength, user, password));
        QVERIFY(!upReadLoginInfo(QByteArray(1, '\0'), user, password));
        QCOMPARE(user, QStringLiteral("kept"));
        QCOMPARE(password, QStringLiteral("kept"));
    }
};

QTEST_GUILESS_MAIN(TestUpUtils)
#include "tst_uputils.moc"
