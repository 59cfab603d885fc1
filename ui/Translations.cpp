#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tavlun::ui {

void installQtTranslations(QCoreApplication &app, QTranslator &translator, const QLocale &locale)
{
    // Where Qt has no translations for the language, the translator stays
    // empty, and an empty translator translates nothing.
    (void)translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    app.installTranslator(&translator);
}

} // namespace tavlun::ui
