#include "application.h"

#include "applicationstyle.h"
#include "fonts.h"
#include "messageboxservice.h"
#include "qttranslations.h"

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("quillmora"));
    setOrganizationName(QStringLiteral("Vantrel"));
    setApplicationVersion(QStringLiteral("3.5.1"));
    setStyle(new ApplicationStyle);
    QtTranslations::install();
    installChineseFontSubstitutions();
    setFont(applicationFont());
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        MessageBoxes::reportError(activeWindow(), error);
    }
    return false;
}
