#pragma once

#include <QLocale>
#include <QString>

class QTranslator;

// Qt's own texts (standard buttons, the file dialog, the print preview's tools) in
// Chinese, as the program speaks Chinese whatever the system's language: Traditional
// Chinese where the locale writes it (Taiwan, Hong Kong, Macao), Simplified otherwise.
namespace QtTranslations {

// The catalogue suffix Qt ships for that choice: "zh_TW" or "zh_CN".
QString catalogueFor(const QLocale &locale);

// Loads Qt's catalogue for the locale into the running application. Returns the
// installed translator (owned by the application), or nullptr when no catalogue
// could be read; the program then goes on with Qt's English texts.
QTranslator *install(const QLocale &locale = QLocale::system());

} // namespace QtTranslations
