#include "upMessages.h"

#include <QMetaEnum>
#include <QtTest>

using namespace Upgrade;
namespace M = UpgradeMessages;

class TestUpgradeMessages : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void everyLanguageIsComplete_data();
    void everyLanguageIsComplete();
    void givenTexts_data();
    void givenTexts();
    void idArithmetic_data();
    void idArithmetic();
    void automaticLanguage_data();
    void automaticLanguage();
    void localeVariablesInOrder();
    void format_data();
    void format();
    void decimalSeparatorFollowsLocale();
    void questionTitle();
};

void TestUpgradeMessages::cleanup()
{
    QLocale::setDefault(QLocale::c());
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qunsetenv("LANG");
}

void TestUpgradeMessages::everyLanguageIsComplete_data()
{
    QTest::addColumn<int>("language");
    const QMetaEnum languages = QMetaEnum::fromType<TupWizardLanguage>();
    for (int i = wlEnglish; i <= wlIcelandic; ++i)
        QTest::newRow(languages.valueToKey(i)) << i;
}

void TestUpgradeMessages::everyLanguageIsComplete()
{
    QFETCH(int, language);
    const int base = M::baseOf(TupWizardLanguage(language));
    for (int n = 0; n < M::kMessageCount; ++n) {
        const QString english = M::resource(M::kFirstBase + n);
        const QString text = M::resource(base + n);
        QVERIFY2(!text.isEmpty(), qPrintable(QStringLiteral("message %1 missing").arg(n)));
        QCOMPARE(M::placeholders(text), M::placeholders(english));
        // Line breaks of the texts are written as \r or \n, never as control codes of another kind.
        for (QChar c : text)
            QVERIFY(c.unicode() >= 32 || c == QLatin1Char('\r') || c == QLatin1Char('\n'));
    }
    if (language != wlEnglish)
        QVERIFY2(M::resource(base + M::AskUpgrade) != M::resource(M::kFirstBase + M::AskUpgrade),
                 "the question is not translated");
    // Nothing lies between the blocks.
    QCOMPARE(M::resource(base + M::kMessageCount), QString());

    // The upgrade's own failure texts, in the same language.
    M::setLanguage(wlEnglish);
    QStringList english;
    for (int n = 0; n < M::kExtraMessageCount; ++n)
        english << M::extraMessage(M::ExtraMessage(n));
    M::setLanguage(TupWizardLanguage(language));
    for (int n = 0; n < M::kExtraMessageCount; ++n) {
        const QString text = M::extraMessage(M::ExtraMessage(n));
        QVERIFY2(!text.isEmpty(), qPrintable(QStringLiteral("extra message %1 missing").arg(n)));
        QCOMPARE(M::placeholders(text), M::placeholders(english.at(n)));
        if (language != wlEnglish)
            QVERIFY2(text != english.at(n), qPrintable(QStringLiteral("extra message %1 is not translated").arg(n)));
    }
}

void TestUpgradeMessages::givenTexts_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");

    QTest::newRow("English caption") << 41000 << "Application update wizard";
    QTest::newRow("English time") << 41008 << "Estimated time left: %d:%.2d:%.2d";
    QTest::newRow("English completion")
        << 41010 << "The update of %s has been successfully completed.\r\rPress the OK button to restart program.";
    QTest::newRow("English question")
        << 41023 << "A newer version of %s was released.\n%s\nDo you want to update your version with the latest one?";
    QTest::newRow("English password text")
        << 41029
        << "Access to remote file \"%s\" is password protected.\n\nPlease enter your username and password "
           "(received after registration) to continue software upgrade.";
    QTest::newRow("Chinese caption") << 42050 << QStringLiteral("软件升级精灵");
    QTest::newRow("Chinese completed") << 42052 << QStringLiteral("升级完成！");
    QTest::newRow("Chinese counter") << 42059 << QStringLiteral("当前正在下载:%d of %d");
    QTest::newRow("Chinese later") << 42069 << QStringLiteral("[&L]稍等一下");
    QTest::newRow("Chinese question") << 42073 << QStringLiteral("%s已经有新版本推出，\n%s\n您要升级到新版本吗？");
    QTest::newRow("Chinese host") << 42076
                                  << QStringLiteral("无法与服务器%s连接。\r\r请检查您的internet设定之后再进行升级操作。");
    QTest::newRow("Chinese password text")
        << 42079 << QStringLiteral("远端的文档\"%s\"被密码保护，\n\n请输入您的帐号及密码[注册用户]来继续进行升级操作。");
    QTest::newRow("app title") << 40997 << "<AppTitle>";
    QTest::newRow("upgrader") << 40999 << "Upgrader";
}

void TestUpgradeMessages::givenTexts()
{
    QFETCH(int, id);
    QTEST(M::resource(id), "text");
}

void TestUpgradeMessages::idArithmetic_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("caption");

    QTest::newRow("English") << int(wlEnglish) << 41000 << "Application update wizard";
    QTest::newRow("Russian") << int(wlRussian) << 41050 << QStringLiteral("Мастер обновления приложения");
    QTest::newRow("Portuguese (Brazil)") << int(wlPortugueseBrazilian) << 41300
                                         << QStringLiteral("Assistente de atualização do aplicativo");
    QTest::newRow("Chinese (Traditional)") << int(wlChineseTraditional) << 42000 << QStringLiteral("軟體升級精靈");
    QTest::newRow("Chinese (Simplified)") << int(wlChineseSimplified) << 42050 << QStringLiteral("软件升级精灵");
    QTest::newRow("Icelandic") << int(wlIcelandic) << 42200 << QStringLiteral("Uppfærsluálfur forrits");
}

void TestUpgradeMessages::idArithmetic()
{
    QFETCH(int, language);
    QFETCH(int, base);
    M::setLanguage(TupWizardLanguage(language));
    QCOMPARE(M::messageBase(), base);
    QTEST(M::message(M::Caption), "caption");
    QCOMPARE(M::message(M::ConnectionLost), M::resource(base + 30));
}

void TestUpgradeMessages::automaticLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("base");

    QTest::newRow("zh_CN") << "zh_CN.UTF-8" << 42050;
    QTest::newRow("zh_TW") << "zh_TW.UTF-8" << 42000;
    QTest::newRow("zh_HK") << "zh_HK.UTF-8" << 42000;
    QTest::newRow("zh_SG") << "zh_SG" << 42000;
    QTest::newRow("zh_MO") << "zh_MO.UTF-8" << 42000;
    QTest::newRow("pt_BR") << "pt_BR.UTF-8" << 41300;
    QTest::newRow("pt_PT") << "pt_PT.UTF-8" << 41250;
    QTest::newRow("de_AT") << "de_AT.UTF-8" << 41100;
    QTest::newRow("ca_ES@valencia") << "ca_ES.UTF-8@valencia" << 41850;
    QTest::newRow("ms_MY") << "ms_MY" << 42150;
    QTest::newRow("ja_JP outside the table") << "ja_JP.UTF-8" << 41000;
    QTest::newRow("unknown language") << "xx_YY" << 41000;
    QTest::newRow("C") << "C" << 41000;
    QTest::newRow("C.UTF-8") << "C.UTF-8" << 41000;
}

void TestUpgradeMessages::automaticLanguage()
{
    QFETCH(QString, locale);
    M::setLanguage(wlIcelandic);
    qputenv("LANG", locale.toUtf8());
    M::setLanguage(wlAuto);
    QTEST(M::messageBase(), "base");
}

void TestUpgradeMessages::localeVariablesInOrder()
{
    qputenv("LANG", "de_DE.UTF-8");
    qputenv("LC_MESSAGES", "fr_FR.UTF-8");
    M::setLanguage(wlAuto);
    QCOMPARE(M::messageBase(), 41150);
    qputenv("LC_ALL", "zh_CN.UTF-8");
    M::setLanguage(wlAuto);
    QCOMPARE(M::messageBase(), 42050);
}

void TestUpgradeMessages::format_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QVariantList>("arguments");
    QTest::addColumn<QString>("text");

    QTest::newRow("time left") << M::resource(41008) << QVariantList{1, 5, 7} << "Estimated time left: 1:05:07";
    QTest::newRow("long time") << "%d:%.2d:%.2d" << QVariantList{123, 59, 0} << "123:59:00";
    QTest::newRow("counter") << M::resource(42059) << QVariantList{1, 2} << QStringLiteral("当前正在下载:1 of 2");
    QTest::newRow("size") << M::resource(41006) << QVariantList{1536 / 1024.0} << "File size: 1.5 Kb";
    QTest::newRow("rate rounds") << "%.1f" << QVariantList{12.36} << "12.4";
    QTest::newRow("question with empty message")
        << M::resource(41023) << QVariantList{"Quillmora", "\n\n"}
        << "A newer version of Quillmora was released.\n\n\n\nDo you want to update your version with the latest one?";
    QTest::newRow("percent sign") << "100%% %s" << QVariantList{"done"} << "100% done";
}

void TestUpgradeMessages::format()
{
    QFETCH(QString, pattern);
    QFETCH(QVariantList, arguments);
    QTEST(M::format(pattern, arguments), "text");
}

void TestUpgradeMessages::decimalSeparatorFollowsLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(M::format(M::resource(41107), {2048.25}), QStringLiteral("Übertragungsrate: 2048,3 KB/s"));
}

void TestUpgradeMessages::questionTitle()
{
    QCOMPARE(M::questionTitle(QStringLiteral("Quillmora")), QStringLiteral("Quillmora"));
    QCOMPARE(M::questionTitle(QStringLiteral("Untitled shop")), QStringLiteral("<AppTitle>"));
    QCOMPARE(M::displayText(QStringLiteral("a\r\rb\r\nc")), QStringLiteral("a\n\nb\nc"));
}

QTEST_GUILESS_MAIN(TestUpgradeMessages)
#include "tst_upgrademessages.moc"
