#include "replacer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        QApplication app(argc, argv);
        QMessageBox::information(nullptr, QStringLiteral("Quillmora Replacer"),
                                 QStringLiteral("Quillmora Replacer, by Vantrel.\n\n"
                                                "Installs the files of a Quillmora upgrade once Quillmora "
                                                "has ended, then starts it again. Quillmora runs it by "
                                                "itself; there is nothing to do here."));
        return 0;
    }
    QCoreApplication app(argc, argv);
    Replacer::run(QCoreApplication::arguments().mid(1), Replacer::systemLauncher());
    return 0;
}
