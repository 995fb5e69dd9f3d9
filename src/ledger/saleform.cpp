#include "saleform.h"

#include "apperror.h"
#include "datetext.h"
#include "numberformat.h"

#include <algorithm>
#include <cmath>

SaleRecord SaleRecord::fromEntry(const SaleEntry &entry)
{
    SaleRecord record;
    record.category = entry.category.trimmed();
    record.goodsName = entry.goodsName.trimmed();
    record.goodsCode = entry.goodsCode.trimmed();
    record.model = entry.model.trimmed();
    record.purchasePrice = NumberFormat::parse(entry.purchasePrice);
    record.salePrice = NumberFormat::parse(entry.salePrice);
    record.quantity = NumberFormat::parse(entry.quantity);
    record.saleTotal = NumberFormat::parse(entry.saleTotal);
    record.profit = NumberFormat::parse(entry.profit);
    record.amountOwed = NumberFormat::parse(entry.amountOwed);
    record.customer = entry.customer.trimmed();
    record.mobile = entry.mobile.trimmed();
    record.unit = entry.unit.trimmed();
    record.remarks = entry.remarks.trimmed();
    record.saleDate = DateText::parseDate(entry.saleDate);
    return record;
}

QList<std::pair<QString, QVariant>> SaleRecord::columnValues() const
{
    return {
        {QStringLiteral("a"), category},
        {QStringLiteral("b"), goodsName},
        {QStringLiteral("c"), goodsCode},
        {QStringLiteral("d"), model},
        {QStringLiteral("1"), purchasePrice},
        {QStringLiteral("2"), salePrice},
        {QStringLiteral("3"), quantity},
        {QStringLiteral("6"), saleTotal},
        {QStringLiteral("4"), profit},
        {QStringLiteral("5"), amountOwed},
        {QStringLiteral("e"), customer},
        {QStringLiteral("f"), mobile},
        {QStringLiteral("h"), unit},
        {QStringLiteral("z"), remarks},
        {QStringLiteral("day1"), saleDate},
    };
}

namespace QuantitySteps {

QString step(const QString &quantityText, int delta)
{
    int position = minimum;
    try {
        const double current = NumberFormat::parse(quantityText);
        position = int(std::clamp(std::trunc(current), double(minimum), double(maximum)));
    } catch (const ConversionError &) {
        // A text that is no number steps from the lowest position.
    }
    return QString::number(std::clamp(position + delta, minimum, maximum));
}

} // namespace QuantitySteps
