#ifndef TOOLKITTRANSLATIONS_H
#define TOOLKITTRANSLATIONS_H

// Qt's own translations (qtbase, from the folder QLibraryInfo names) for the
// system locale, so that the toolkit's dialogs and buttons (Open, Select Font,
// Select Color, Cancel, About Qt) speak the user's language. The program's own
// texts are in no catalogue of Qt's and stay as they are.

#include <QString>

class QCoreApplication;

// The folder of Qt's own catalogues, as the Qt in use names it. Qt 5 and Qt 6
// keep theirs apart (Debian: qttranslations5-l10n, qt6-translations-l10n).
QString toolkitTranslationsPath();

// Installs the catalogue on app when there is one for the locale; returns
// whether it did. Call before the window is built, so that no language change
// reaches it.
bool installToolkitTranslations(QCoreApplication &app);

#endif // TOOLKITTRANSLATIONS_H
