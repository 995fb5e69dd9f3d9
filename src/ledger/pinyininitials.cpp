#include "pinyininitials.h"

#include <QCollator>
#include <QLocale>
#include <array>

namespace PinyinInitials {

namespace {

// The first character of each initial in the Chinese collation's (pinyin) order, the
// same collation the ledger sorts its texts by; a character's initial is that of the
// last of them that does not sort after it. No pinyin starts with i, u or v.
struct Boundary
{
    char16_t character;
    char initial;
};
constexpr std::array<Boundary, 23> kBoundaries = {{
    {u'阿', 'a'}, {u'八', 'b'}, {u'嚓', 'c'}, {u'咑', 'd'}, {u'妸', 'e'}, {u'发', 'f'}, {u'旮', 'g'}, {u'哈', 'h'},
    {u'丌', 'j'}, {u'咔', 'k'}, {u'垃', 'l'}, {u'痳', 'm'}, {u'拏', 'n'}, {u'噢', 'o'}, {u'妑', 'p'}, {u'七', 'q'},
    {u'呥', 'r'}, {u'扨', 's'}, {u'他', 't'}, {u'屲', 'w'}, {u'夕', 'x'}, {u'丫', 'y'}, {u'帀', 'z'},
}};

bool isHan(QChar c)
{
    return c.script() == QChar::Script_Han;
}

} // namespace

QString of(const QString &text)
{
    static const QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    QString initials;
    for (const QChar c : text) {
        if (c.isLetter() && c.unicode() < 0x80) {
            initials += c.toLower();
        } else if (c.isDigit() && c.unicode() < 0x80) {
            initials += c;
        } else if (isHan(c)) {
            const QString character(c);
            char found = 0;
            for (const Boundary &boundary : kBoundaries) {
                if (collator.compare(QString(QChar(boundary.character)), character) > 0)
                    break;
                found = boundary.initial;
            }
            if (found)
                initials += QLatin1Char(found);
        }
    }
    return initials;
}

} // namespace PinyinInitials
