// A second copy of the program on the same data store, in a process of its own: runs
// one statement through the same connection class and prints the number of rows it
// changed. Tests use it for what another terminal does behind a window's back.
//
// usage: otherterminal <database file or server address> <statement> [bound text values...]
#include "apperror.h"
#include "connection.h"
#include "datasource.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    QTextStream err(stderr);
    if (arguments.size() < 2) {
        err << "usage: otherterminal <database file or server address> <statement> [values...]\n";
        return 2;
    }
    try {
        const QString &store = arguments[0];
        Connection connection(store.startsWith(QLatin1String("postgresql://")) ? DataSource::server(store)
                                                                                : DataSource::embeddedFile(store));
        QVariantList values;
        for (const QString &value : arguments.mid(2))
            values << value;
        QTextStream(stdout) << connection.execute(arguments[1], values) << "\n";
    } catch (const std::exception &error) {
        err << "otherterminal: " << errorText(error) << "\n";
        return 1;
    }
    return 0;
}
