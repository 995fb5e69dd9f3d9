#include "tenthousandths.h"

#include <cstdlib>
#include <locale.h>

namespace TenThousandths {

Units unitsOfText(const QString &text)
{
    Units units;
    const QByteArray latin = text.toLatin1();
    const qsizetype blank = latin.indexOf(' ');
    // The whole ten-thousandths: an integer of any length the server's numeric wrote.
    const QByteArray whole = blank < 0 ? latin : latin.left(blank);
    __int128 small = 0;
    bool negative = false;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const char c = whole.at(i);
        if (i == 0 && (c == '-' || c == '+'))
            negative = c == '-';
        else if (c >= '0' && c <= '9')
            small = small * 10 + (c - '0');
        else
            break;
    }
    units.addSmall(negative ? -small : small);
    if (blank >= 0) {
        // The larger values' exact sum, read in the server's notation whatever the
        // locale of this process says, rounded once.
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        const double large = strtod_l(latin.constData() + blank + 1, nullptr, c);
        if (large != 0)
            units.addLarge(large);
    }
    return units;
}

} // namespace TenThousandths
