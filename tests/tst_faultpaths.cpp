// The followed path stops being a readable file: deleted for good, its read
// permission taken away and given back, replaced by a directory or a FIFO; and
// a path with Japanese characters and spaces chosen in the open dialog. What
// the view shows, what the user hears (a timer reload says why in the status
// line, a refresh warns in a box), and that nothing blocks the window.

#include "faultharness.h"

#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fault;
using namespace testkit;

namespace {

QString readWarning(const QString &path, const QString &error)
{
    return QStringLiteral("Cannot read file %1:\n%2.").arg(path, error);
}

// Moves the file away and puts something else at its path, then after
// holdMs puts the file back and appends to it.
std::vector<FileScript::Step> replaceForAWhile(const QString &log, std::function<void()> replace,
                                               int holdMs)
{
    const QString aside = log + QStringLiteral(".aside");
    return {
        {100, [=] { renamePath(log, aside); replace(); }},
        {holdMs, [=] { removePath(log); renamePath(aside, log);
                       appendFile(log, numberedLines("back", 1, 2)); }},
    };
}

} // namespace

class FaultPaths : public QObject
{
    Q_OBJECT

private slots:
    void deletedForGood();
    void timerReloadsWaitWhileAWarningIsOpen();
    void permissionTakenAwayAndGivenBack();
    void replacedByADirectory();
    void replacedByAFifo_data();
    void replacedByAFifo();
    void japanesePathThroughTheOpenDialog();

private:
    QTemporaryDir dir;
};

void FaultPaths::deletedForGood()
{
    const QString log = dir.filePath(QStringLiteral("deleted.log"));
    writeFile(log, numberedLines("kept", 1, 20));
    ViewSession session(ViewSetup{});
    session.open(log);
    const QString shown = newestWindow(numberedLines("kept", 1, 20), 5);
    QVERIFY(session.waitForText(shown));

    FileScript script({{100, [=] { removePath(log); }}});
    // The timer's failures go to the status line, never into a box.
    QVERIFY(session.waitFor([&] { return session.failureShown().contains(QLatin1String("No such file")); }));
    QTest::qWait(3000);   // six timer periods
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    QCOMPARE(session.text(), shown);   // the last window stays in view

    // A refresh the user asks for warns.
    session.clickRefresh();
    QVERIFY2(session.dialogs.warningCount() == 1, qPrintable(session.dialogs.describeWarnings()));
    QCOMPARE(session.dialogs.warnings().first().title, QStringLiteral("Tailpeek"));
    QCOMPARE(session.dialogs.warnings().first().text,
             readWarning(log, QStringLiteral("No such file or directory")));
    QTest::qWait(1500);
    QVERIFY2(session.dialogs.warningCount() == 1, qPrintable(session.dialogs.describeWarnings()));
    QCOMPARE(session.text(), QString());   // asked for, the deleted file shows no lines
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultPaths::timerReloadsWaitWhileAWarningIsOpen()
{
    const QString log = dir.filePath(QStringLiteral("held-back.log"));
    writeFile(log, numberedLines("first", 1, 10));
    ViewSession session(ViewSetup{}, 2500);   // the user leaves the box open for 2.5 s
    session.open(log);
    const QString before = newestWindow(numberedLines("first", 1, 10), 5);
    QVERIFY(session.waitForText(before));

    removePath(log);
    QVERIFY(session.waitFor([&] { return !session.failureShown().isEmpty(); }));
    FileScript script({{1200, [=] { writeFile(log, numberedLines("second", 1, 7)); }}});
    // The box of a refresh runs a nested event loop, so the view is watched
    // from a timer, which fires inside it. The file comes back while the box
    // is still open.
    bool sawOpen = false;
    bool changedWhileOpen = false;
    QString atOpen;   // the refresh empties the view of the missing file first
    QTimer observer;
    connect(&observer, &QTimer::timeout, this, [&] {
        if (!session.dialogs.warningsOpen())
            return;
        if (!sawOpen)
            atOpen = session.text();
        sawOpen = true;
        changedWhileOpen = changedWhileOpen || session.text() != atOpen;
    });
    observer.start(10);
    session.clickRefresh();
    QVERIFY(session.waitFor([&] { return sawOpen && !session.dialogs.warningsOpen(); }, 6000));
    observer.stop();
    QVERIFY(script.finished());
    QVERIFY2(!changedWhileOpen, "a timer reload ran while the warning was open");
    QVERIFY2(session.waitForText(newestWindow(numberedLines("second", 1, 7), 5), 1500),
             qPrintable(session.text()));
    QVERIFY2(session.dialogs.warningCount() == 1, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultPaths::permissionTakenAwayAndGivenBack()
{
    // Root reads a file whatever its mode, so as root the case runs in a child
    // process of this test that setpriv has made user "nobody".
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root, where file modes do not stop reads, and setpriv is missing");
        QTemporaryDir home;
        QVERIFY(home.isValid());
        // A copy of this program where "nobody" may run it, and a home it may write.
        const QString self = home.filePath(QStringLiteral("tst_faultpaths"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), self));
        for (const QString &p : {home.path(), self})
            QVERIFY(::chown(QFile::encodeName(p).constData(), 65534, 65534) == 0);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        // A sanitizer build reads its leak suppressions as "nobody" too.
        QStringList lsan = env.value(QStringLiteral("LSAN_OPTIONS")).split(QLatin1Char(':'));
        for (QString &option : lsan) {
            if (!option.startsWith(QLatin1String("suppressions=")))
                continue;
            const QString copy = home.filePath(QStringLiteral("lsan.supp"));
            QVERIFY(QFile::copy(option.mid(13), copy));
            option = QStringLiteral("suppressions=") + copy;
        }
        env.insert(QStringLiteral("LSAN_OPTIONS"), lsan.join(QLatin1Char(':')));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                              QStringLiteral("--clear-groups"), self,
                              QStringLiteral("permissionTakenAwayAndGivenBack")});
        QVERIFY(child.waitForFinished(120000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("PASS   : FaultPaths::permissionTakenAwayAndGivenBack()"),
                 output.constData());
        return;
    }

    const QString log = dir.filePath(QStringLiteral("permission.log"));
    writeFile(log, numberedLines("open", 1, 10));
    ViewSession session(ViewSetup{});
    session.open(log);
    QVERIFY(session.waitForText(newestWindow(numberedLines("open", 1, 10), 5)));

    const QByteArray name = QFile::encodeName(log);
    auto takeAway = [=] { ::chmod(name.constData(), 0); };
    auto giveBack = [=] { ::chmod(name.constData(), 0644);
                          appendFile(log, numberedLines("open", 11, 13)); };
    FileScript script({{100, takeAway}, {1500, giveBack}, {1500, takeAway}, {1500, giveBack}});
    QStringList failures;   // the status line's failures, each time one came
    QVERIFY2(session.waitFor([&] {
                 const QString shown = session.failureShown();
                 if (!shown.isEmpty() && (failures.isEmpty() || failures.last() != shown))
                     failures << shown;
                 return script.finished();
             }, 10000),
             qPrintable(session.dialogs.describeWarnings()));
    QByteArray all = numberedLines("open", 1, 13);
    all += numberedLines("open", 11, 13);
    QVERIFY2(session.waitForText(newestWindow(all, 5), 2000), qPrintable(session.text()));
    // The status line said why each time the permission went, and no box came.
    QVERIFY2(failures.size() == 2, qPrintable(failures.join(QLatin1Char('\n'))));
    for (const QString &failure : qAsConst(failures))
        QVERIFY2(failure.endsWith(QLatin1String("Permission denied")), qPrintable(failure));
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultPaths::replacedByADirectory()
{
    const QString log = dir.filePath(QStringLiteral("becomes-dir.log"));
    writeFile(log, numberedLines("file", 1, 10));
    ViewSession session(ViewSetup{});
    session.open(log);
    const QString before = newestWindow(numberedLines("file", 1, 10), 5);
    QVERIFY(session.waitForText(before));

    const QByteArray name = QFile::encodeName(log);
    FileScript script(replaceForAWhile(log, [=] { ::mkdir(name.constData(), 0755); }, 2000));
    QVERIFY(session.waitFor([&] {
        return session.failureShown().contains(QLatin1String("directory"), Qt::CaseInsensitive);
    }, 2000));
    QCOMPARE(session.text(), before);
    QVERIFY2(session.waitFor([&] { return script.finished(); }, 5000), "script did not end");
    QByteArray after = numberedLines("file", 1, 10) + numberedLines("back", 1, 2);
    QVERIFY2(session.waitForText(newestWindow(after, 5), 2000), qPrintable(session.text()));
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultPaths::replacedByAFifo_data()
{
    QTest::addColumn<bool>("writerHoldsItOpen");
    QTest::newRow("no writer") << false;
    // A writer that holds the FIFO open and writes nothing: a read would wait forever.
    QTest::newRow("idle writer") << true;
}

void FaultPaths::replacedByAFifo()
{
    QFETCH(bool, writerHoldsItOpen);
    const QString log = dir.filePath(QStringLiteral("becomes-fifo-%1.log").arg(writerHoldsItOpen));
    writeFile(log, numberedLines("file", 1, 10));
    ViewSession session(ViewSetup{});
    session.open(log);
    const QString before = newestWindow(numberedLines("file", 1, 10), 5);
    QVERIFY(session.waitForText(before));

    const QByteArray name = QFile::encodeName(log);
    std::atomic<int> writerFd{-1};
    FileScript script(replaceForAWhile(log, [&, name] {
        if (::mkfifo(name.constData(), 0644) != 0)
            std::perror("mkfifo");
        if (writerHoldsItOpen)   // O_RDWR opens a FIFO at once, reader or not
            writerFd = ::open(name.constData(), O_RDWR);
    }, 2500));
    QVERIFY(session.waitFor([&] { return session.failureShown().contains(QLatin1String("FIFO")); }, 2000));
    // A refresh on the FIFO warns at once instead of waiting for data.
    session.clickRefresh();
    QVERIFY2(session.dialogs.warningCount() == 1, qPrintable(session.dialogs.describeWarnings()));
    const QString text = session.dialogs.warnings().first().text;
    QVERIFY2(text.startsWith(QStringLiteral("Cannot read file %1:\n").arg(log))
                 && text.contains(QLatin1String("FIFO")),
             qPrintable(text));
    QCOMPARE(session.text(), before);

    QVERIFY2(session.waitFor([&] { return script.finished(); }, 6000), "script did not end");
    if (writerFd >= 0)
        ::close(writerFd);
    QByteArray after = numberedLines("file", 1, 10) + numberedLines("back", 1, 2);
    QVERIFY2(session.waitForText(newestWindow(after, 5), 2000), qPrintable(session.text()));
    QVERIFY2(session.dialogs.warningCount() == 1, qPrintable(session.dialogs.describeWarnings()));

    // A FIFO given as the file to view warns at once too.
    const QString fifo = dir.filePath(QStringLiteral("plain-%1.fifo").arg(writerHoldsItOpen));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
    session.open(fifo);
    QVERIFY2(session.dialogs.warningCount() == 2, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultPaths::japanesePathThroughTheOpenDialog()
{
    QVERIFY(QDir(dir.path()).mkpath(QString::fromUtf8("ログ フォルダ")));
    const QString log = dir.filePath(QString::fromUtf8("ログ フォルダ/記録 1 (最新).log"));
    const QByteArray content = QString::fromUtf8("開始 1\n接続 2\n終了 3\n").toUtf8();
    writeFile(log, content);
    ViewSession session(ViewSetup{});

    // The dialog as a user works it: the path typed into its name field, Enter.
    session.dialogs.onNextModal([&](QWidget *modal) {
        auto *name = modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(qobject_cast<QFileDialog *>(modal) && name);
        name->setText(log);
        QTest::keyClick(name, Qt::Key_Return);
    });
    session.window()->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
    QVERIFY(session.dialogs.acted());
    QVERIFY2(session.dialogs.stuck().isEmpty(), "the open dialog did not take the typed path");
    QCOMPARE(session.window()->windowFilePath(), log);
    QCOMPARE(session.text(), newestWindow(content, 5));
    QCOMPARE(session.dialogs.warningCount(), 0);

    // The timer follows it like any other path. The probe starts here: a
    // process's first file dialog loads the toolkit's icons and MIME types,
    // which is the toolkit's one-off cost, not a reload's.
    session.probe.restart();
    appendFile(log, QString::fromUtf8("追記 4\n").toUtf8());
    QVERIFY(session.waitForText(newestWindow(content + QString::fromUtf8("追記 4\n").toUtf8(), 5)));
    FAULT_CHECK_RESPONSIVE(session);
}

QTEST_MAIN(FaultPaths)
#include "tst_faultpaths.moc"
