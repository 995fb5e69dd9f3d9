// A till in a process of its own: what one terminal does at the counter, through the
// same code as the application (the data store of the working folder, the append
// table, show all after each sale). Tests run two of them at once.
//
// usage: tillprobe add N TAG   adds N sales (customer TAG, remarks 1..N), showing all
//                              after each; prints "added A failed F" and each error
//        tillprobe hold TAG    adds one sale inside a transaction, prints "holding",
//                              and commits once a line arrives on standard input
//        tillprobe idle        opens the ledger, prints "open", and sits idle (its
//                              event loop running, as a till between sales) until
//                              standard input is closed or a line arrives
#include "apperror.h"
#include "datamodule.h"
#include "ledgeractions.h"
#include "ledgerrecords.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <cstdio>

namespace {

SaleEntry sale(const QString &tag, int number)
{
    SaleEntry entry;
    entry.category = QStringLiteral("球类");
    entry.goodsName = QStringLiteral("篮球");
    entry.goodsCode = QStringLiteral("SP1012");
    entry.model = QStringLiteral("7号");
    entry.purchasePrice = QStringLiteral("95");
    entry.salePrice = QStringLiteral("120.5");
    entry.quantity = QStringLiteral("2");
    entry.saleTotal = QStringLiteral("241");
    entry.profit = QStringLiteral("51");
    entry.amountOwed = QStringLiteral("0");
    entry.customer = tag;
    entry.remarks = QString::number(number);
    entry.saleDate = QStringLiteral("2014-03-12");
    return entry;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        Tdmfm data;
        data.openAppendTable();
        if (arguments.size() == 3 && arguments[0] == QLatin1String("add")) {
            const int count = arguments[1].toInt();
            int added = 0;
            int failed = 0;
            for (int number = 1; number <= count; ++number) {
                try {
                    LedgerRecords::add(*data.ADOTable5, sale(arguments[2], number));
                    showAllRecords(*data.ADOQuery15);
                    ++added;
                } catch (const std::exception &error) {
                    ++failed;
                    err << "tillprobe: sale " << number << ": " << errorText(error) << Qt::endl;
                }
            }
            out << "added " << added << " failed " << failed << Qt::endl;
            return failed == 0 ? 0 : 1;
        }
        if (arguments.size() == 1 && arguments[0] == QLatin1String("idle")) {
            QSocketNotifier input(0, QSocketNotifier::Read);
            QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
            out << "open" << Qt::endl;
            app.exec();
            return 0;
        }
        if (arguments.size() == 2 && arguments[0] == QLatin1String("hold")) {
            data.ADOConnection1->beginTransaction();
            LedgerRecords::add(*data.ADOTable5, sale(arguments[1], 1));
            out << "holding" << Qt::endl;
            char line[64];
            if (!std::fgets(line, sizeof line, stdin))
                return 1;
            data.ADOConnection1->commit();
            out << "committed" << Qt::endl;
            return 0;
        }
    } catch (const std::exception &error) {
        err << "tillprobe: " << errorText(error) << Qt::endl;
        return 1;
    }
    err << "usage: tillprobe add N TAG | tillprobe hold TAG | tillprobe idle\n";
    return 2;
}
