#include "salecalculation.h"

#include "decimalnumber.h"

SaleCalculation::Result SaleCalculation::calculate(const QString &salePrice, const QString &quantity,
                                                   const QString &purchasePrice, Source source)
{
    Result result;
    // Only a really empty text stops the calculation: a blank is read, and fails, as a number.
    if (salePrice.isEmpty() || quantity.isEmpty())
        return result;

    const DecimalNumber price = DecimalNumber::parse(salePrice);
    const DecimalNumber count = DecimalNumber::parse(quantity);
    if (!purchasePrice.isEmpty()) {
        const DecimalNumber cost = DecimalNumber::parse(purchasePrice);
        result.profit = ((price - cost) * count).generalText();
    } else if (source == Source::PurchasePrice) {
        // Emptying the purchase price leaves nothing to subtract: no profit to show.
        result.profit = QStringLiteral("0");
    }
    result.saleTotal = (price * count).generalText();
    return result;
}
