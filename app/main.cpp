// Entry point: answers --help and --version, names the application (the
// settings store files the user's choices under them), loads Qt's own
// translations for the toolkit's dialogs, shows the one window, hands it the
// file named on the command line.

#include "commandline.h"
#include "mainwindow.h"
#include "platformfonts.h"
#include "toolkittranslations.h"

#include <QApplication>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

int print(FILE *stream, const QString &text, int exitCode)
{
    std::fputs(text.toUtf8().constData(), stream);
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    // Help and version need no display: answered before the toolkit starts.
    const CommandLine early = parseCommandLine(argumentsOf(argc, argv));
    if (early.action == CommandLine::Help)
        return print(stdout, usageText(), 0);
    if (early.action == CommandLine::Version)
        return print(stdout, versionText() + QLatin1Char('\n'), 0);

    QApplication app(argc, argv);   // takes Qt's own options out of argv
    const CommandLine line = parseCommandLine(argumentsOf(argc, argv));
    if (line.action == CommandLine::Error)
        return print(stderr, badOptionText(line.badOption), 2);
    QCoreApplication::setApplicationName(QStringLiteral("Tailpeek"));
    QCoreApplication::setOrganizationName(QStringLiteral("VARNOK"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tailpeek.Tailpeek"));
    registerJapaneseFontSubstitutes();
    installToolkitTranslations(app);

    MainWindow window;
    window.show();
    window.openFile(line.path);
    return app.exec();
}
