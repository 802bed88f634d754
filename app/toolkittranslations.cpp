#include "toolkittranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString toolkitTranslationsPath()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

bool installToolkitTranslations(QCoreApplication &app)
{
    // Owned by app, so it lives as long as the texts it translates.
    auto *translator = new QTranslator(&app);
    // QLocale() is the system locale: LANG and its kin, with a Japanese
    // desktop's ja_JP.UTF-8 giving qtbase_ja.qm.
    if (!translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          toolkitTranslationsPath())) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
