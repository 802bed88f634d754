// A helper for the whole-program scripts under Xvfb (fault_cli.sh, soak.sh).
//   x11probe positions NAME...  builds the window from the current settings,
//                               shows it and prints "NAME X Y" for each widget:
//                               its centre in window coordinates, where
//                               xdotool can click the real program's copy.
//   x11probe clipboard          prints the clipboard's text (UTF-8).
// Point XDG_CONFIG_HOME at a copy of the program's settings: the window
// stores its settings when it goes.

#include "mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tailpeek"));
    QCoreApplication::setOrganizationName(QStringLiteral("VARNOK"));
    const QStringList args = app.arguments();
    if (args.size() >= 2 && args.at(1) == QLatin1String("clipboard")) {
        std::fputs(QApplication::clipboard()->text().toUtf8().constData(), stdout);
        return 0;
    }
    if (args.size() >= 3 && args.at(1) == QLatin1String("positions")) {
        MainWindow window;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return 2;
        QTest::qWait(200);
        for (const QString &name : args.mid(2)) {
            auto *widget = window.findChild<QWidget *>(name);
            if (!widget || !widget->isVisible())
                return 3;
            const QPoint centre = widget->mapTo(&window, widget->rect().center());
            std::printf("%s %d %d\n", qPrintable(name), centre.x(), centre.y());
        }
        return 0;
    }
    std::fputs("usage: x11probe positions NAME... | x11probe clipboard\n", stderr);
    return 1;
}
