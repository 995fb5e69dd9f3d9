#include "upMessages.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <atomic>

namespace UpgradeMessages {

namespace detail {
extern const char *const kBlocks[kLanguageCount][kMessageCount];
extern const char *const kExtraBlocks[kLanguageCount][kExtraMessageCount];
}

namespace {

std::atomic<int> currentBase{kFirstBase};

struct LanguageEntry
{
    Upgrade::TupWizardLanguage language;
    int primaryId;
};

// The languages of the table with the primary language id that selects them, in the
// order of their ordinals; the two with sub-languages are picked separately.
const LanguageEntry kLanguages[] = {
    {Upgrade::wlEnglish, 0x09},     {Upgrade::wlRussian, 0x19},    {Upgrade::wlGerman, 0x07},
    {Upgrade::wlFrench, 0x0C},      {Upgrade::wlSpanish, 0x0A},    {Upgrade::wlPortuguese, 0x16},
    {Upgrade::wlPortugueseBrazilian, 0x16}, {Upgrade::wlItalian, 0x10}, {Upgrade::wlDutch, 0x13},
    {Upgrade::wlDanish, 0x06},      {Upgrade::wlSwedish, 0x1D},    {Upgrade::wlFinnish, 0x0B},
    {Upgrade::wlEstonian, 0x25},    {Upgrade::wlUkrainian, 0x22},  {Upgrade::wlCzech, 0x05},
    {Upgrade::wlHungarian, 0x0E},   {Upgrade::wlRomanian, 0x18},   {Upgrade::wlCatalan, 0x03},
    {Upgrade::wlBasque, 0x2D},      {Upgrade::wlAfrikaans, 0x36},  {Upgrade::wlChineseTraditional, 0x04},
    {Upgrade::wlChineseSimplified, 0x04}, {Upgrade::wlIndonesian, 0x21}, {Upgrade::wlMalay, 0x3E},
    {Upgrade::wlIcelandic, 0x0F},
};

// Primary language ids of the locale's language codes; a few languages outside the
// table are listed so they are recognised (and fall back to English) as the system
// would report them.
const QHash<QString, int> &primaryIds()
{
    static const QHash<QString, int> ids = {
        {"en", 0x09}, {"ru", 0x19}, {"de", 0x07}, {"fr", 0x0C}, {"es", 0x0A}, {"pt", 0x16},
        {"it", 0x10}, {"nl", 0x13}, {"da", 0x06}, {"sv", 0x1D}, {"fi", 0x0B}, {"et", 0x25},
        {"uk", 0x22}, {"cs", 0x05}, {"hu", 0x0E}, {"ro", 0x18}, {"ca", 0x03}, {"eu", 0x2D},
        {"af", 0x36}, {"zh", 0x04}, {"id", 0x21}, {"ms", 0x3E}, {"is", 0x0F},
        {"ar", 0x01}, {"bg", 0x02}, {"el", 0x08}, {"he", 0x0D}, {"ja", 0x11}, {"ko", 0x12},
        {"nb", 0x14}, {"nn", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"hr", 0x1A}, {"sk", 0x1B},
        {"th", 0x1E}, {"tr", 0x1F}, {"sl", 0x24}, {"lv", 0x26}, {"lt", 0x27}, {"vi", 0x2A},
    };
    return ids;
}

int subLanguageId(const QString &language, const QString &territory)
{
    if (language == QLatin1String("zh")) {
        static const QHash<QString, int> chinese = {{"TW", 1}, {"CN", 2}, {"HK", 3}, {"SG", 4}, {"MO", 5}};
        return chinese.value(territory, 0);
    }
    if (language == QLatin1String("pt"))
        return territory == QLatin1String("BR") ? 1 : 2;
    return 1;
}

QString formatNumber(const QVariant &value, QChar conversion, int precision)
{
    if (conversion == QLatin1Char('f')) {
        QString text = QString::number(value.toDouble(), 'f', precision < 0 ? 6 : precision);
        return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    }
    const qlonglong number = value.toLongLong();
    QString digits = QString::number(number < 0 ? -number : number);
    if (precision > digits.size())
        digits.prepend(QString(precision - digits.size(), QLatin1Char('0')));
    return number < 0 ? QLatin1Char('-') + digits : digits;
}

} // namespace

QString resource(int id)
{
    switch (id) {
    case kAppTitleId:
        return QStringLiteral("<AppTitle>");
    case kGenericTitleWordId:
        return QStringLiteral("Untitled");
    case kUpgraderNameId:
        return QStringLiteral("Upgrader");
    default:
        break;
    }
    const int offset = id - kFirstBase;
    if (offset < 0 || offset >= kLanguageCount * kBlockSize)
        return {};
    const int block = offset / kBlockSize;
    const int n = offset % kBlockSize;
    if (n >= kMessageCount)
        return {};
    return QString::fromUtf8(detail::kBlocks[block][n]);
}

QString extraMessage(ExtraMessage message)
{
    const int block = (currentBase - kFirstBase) / kBlockSize;
    return QString::fromUtf8(detail::kExtraBlocks[block][int(message)]);
}

int baseOf(Upgrade::TupWizardLanguage language)
{
    return kFirstBase + kBlockSize * (int(language) - 1);
}

void setLanguage(Upgrade::TupWizardLanguage language)
{
    if (language == Upgrade::wlAuto)
        language = languageForId(languageIdForLocale(environmentLocale()));
    currentBase = baseOf(language);
}

int messageBase()
{
    return currentBase;
}

QString message(int n)
{
    return resource(currentBase + n);
}

QString environmentLocale()
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value;
    }
    return QStringLiteral("C");
}

int languageIdForLocale(const QString &localeName)
{
    // language[_territory][.codeset][@modifier]
    QString name = localeName.section(QLatin1Char('@'), 0, 0).section(QLatin1Char('.'), 0, 0);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        name = QStringLiteral("en_US");
    const QString language = name.section(QLatin1Char('_'), 0, 0).toLower();
    const QString territory = name.section(QLatin1Char('_'), 1, 1).toUpper();
    const int primary = primaryIds().value(language, 0);
    if (primary == 0)
        return 0;
    return (subLanguageId(language, territory) << 10) | primary;
}

Upgrade::TupWizardLanguage languageForId(int languageId)
{
    const int primary = languageId & 0x3FF;
    const int sub = languageId >> 10;
    if (primary == 0x16)
        return sub == 1 ? Upgrade::wlPortugueseBrazilian : Upgrade::wlPortuguese;
    if (primary == 0x04)
        return sub == 2 ? Upgrade::wlChineseSimplified : Upgrade::wlChineseTraditional;
    for (const LanguageEntry &entry : kLanguages) {
        if (entry.primaryId == primary)
            return entry.language;
    }
    return Upgrade::wlEnglish;
}

QString format(const QString &pattern, const QVariantList &arguments)
{
    QString result;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%') || i + 1 >= pattern.size()) {
            result += c;
            continue;
        }
        qsizetype j = i + 1;
        if (pattern.at(j) == QLatin1Char('%')) {
            result += QLatin1Char('%');
            i = j;
            continue;
        }
        int precision = -1;
        if (pattern.at(j) == QLatin1Char('.')) {
            precision = 0;
            ++j;
            while (j < pattern.size() && pattern.at(j).isDigit())
                precision = precision * 10 + pattern.at(j++).digitValue();
        }
        if (j >= pattern.size()) {
            result += pattern.mid(i);
            break;
        }
        const QChar conversion = pattern.at(j);
        if (conversion != QLatin1Char('s') && conversion != QLatin1Char('d') && conversion != QLatin1Char('f')) {
            result += pattern.mid(i, j - i + 1);
            i = j;
            continue;
        }
        const QVariant value = next < arguments.size() ? arguments.at(next) : QVariant();
        ++next;
        result += conversion == QLatin1Char('s') ? value.toString() : formatNumber(value, conversion, precision);
        i = j;
    }
    return result;
}

QStringList placeholders(const QString &pattern)
{
    static const QRegularExpression placeholder(QStringLiteral("%(?:%|(?:\\.\\d+)?[sdf])"));
    QStringList found;
    for (const QRegularExpressionMatch &match : placeholder.globalMatch(pattern)) {
        if (match.captured() != QLatin1String("%%"))
            found << match.captured();
    }
    return found;
}

QString displayText(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString questionTitle(const QString &applicationTitle)
{
    if (applicationTitle.contains(resource(kGenericTitleWordId)))
        return resource(kAppTitleId);
    return applicationTitle;
}

} // namespace UpgradeMessages
