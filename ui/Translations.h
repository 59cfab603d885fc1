#pragma once

#include <QLocale>

class QCoreApplication;
class QTranslator;

namespace tavlun::ui {

// Loads Qt's own translations for `locale` into `translator` and installs
// it, so that standard buttons (Yes, No, OK) read as the platform would show
// them in the user's language.
void installQtTranslations(QCoreApplication &app, QTranslator &translator,
                           const QLocale &locale = QLocale());

} // namespace tavlun::ui
