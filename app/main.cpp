// Entry point: names the application (the settings store files the user's
// choices under them), loads Qt's own translations for the toolkit's dialogs,
// shows the one window, hands it the first argument.

#include "mainwindow.h"
#include "platformfonts.h"
#include "toolkittranslations.h"

#include <QApplication>
#include <QString>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);   // takes Qt's own options out of argv
    QCoreApplication::setApplicationName(QStringLiteral("Tailpeek"));
    QCoreApplication::setOrganizationName(QStringLiteral("VARNOK"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tailpeek.Tailpeek"));
    registerJapaneseFontSubstitutes();
    installToolkitTranslations(app);

    MainWindow window;
    window.show();
    window.openFile(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    return app.exec();
}
