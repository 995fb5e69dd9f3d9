#include "salecalculation.h"

#include "numberformat.h"

SaleCalculation::Result SaleCalculation::calculate(const QString &salePrice, const QString &quantity,
                                                   const QString &purchasePrice, Source source)
{
    Result result;
    // Only a really empty text stops the calculation: a blank is read, and fails, as a number.
    if (salePrice.isEmpty() || quantity.isEmpty())
        return result;

    const long double price = NumberFormat::parse(salePrice);
    const long double count = NumberFormat::parse(quantity);
    if (!purchasePrice.isEmpty()) {
        const long double cost = NumberFormat::parse(purchasePrice);
        result.profit = NumberFormat::general((price - cost) * count);
    } else if (source == Source::PurchasePrice) {
        // Emptying the purchase price leaves nothing to subtract: no profit to show.
        result.profit = QStringLiteral("0");
    }
    result.saleTotal = NumberFormat::general(price * count);
    return result;
}
