#include "qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace QtTranslations {

QString catalogueFor(const QLocale &locale)
{
    if (locale.language() == QLocale::Chinese && locale.script() == QLocale::TraditionalChineseScript)
        return QStringLiteral("zh_TW");
    return QStringLiteral("zh_CN");
}

QTranslator *install(const QLocale &locale)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QString suffix = catalogueFor(locale);
    auto translator = std::make_unique<QTranslator>();
    // "qt_" gathers the catalogues of every Qt module; "qtbase_" alone holds the
    // widgets' texts where the gathering file is missing.
    for (const QString &stem : {QStringLiteral("qt_"), QStringLiteral("qtbase_")}) {
        if (translator->load(stem + suffix, folder) && QCoreApplication::installTranslator(translator.get())) {
            translator->setParent(app);
            return translator.release();
        }
    }
    return nullptr;
}

} // namespace QtTranslations
