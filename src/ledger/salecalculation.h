#pragma once

#include <QString>
#include <optional>

// The entry panel's running sums: the sale total (sale price × quantity) and the profit
// ((sale price − purchase price) × quantity), worked out from the box texts as the
// operator types. The products are exact decimals of the typed texts (87.1 − 88 is −0.9,
// not the binary −0.900000000000006), written in the general number format; nothing is
// rounded to cents. What is stored is the double nearest to the text shown.
class SaleCalculation
{
public:
    // The box whose change asks for the calculation.
    enum class Source { SalePrice, Quantity, PurchasePrice };

    // The texts to put into the computed boxes; an empty optional leaves a box as it is.
    struct Result
    {
        std::optional<QString> saleTotal;
        std::optional<QString> profit;
    };

    // Reads every text it needs before it returns anything, so a text that is not a
    // number raises ConversionError and no box changes.
    static Result calculate(const QString &salePrice, const QString &quantity, const QString &purchasePrice,
                            Source source);
};
