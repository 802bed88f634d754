// The viewer only ever reads the viewed file, and holds no descriptor of it
// between reloads, so its writer may rename or delete it at any time.

#include "faultharness.h"

#include "mainwindow.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fault;
using namespace testkit;

namespace {

struct stat statOf(const QString &path)
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        qWarning("stat failed");
    return info;
}

// How many of this process's descriptors refer to the file (by device and inode).
int descriptorsOf(const struct stat &file)
{
    int found = 0;
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &fd : fds) {
        struct stat info;
        const QByteArray link = "/proc/self/fd/" + fd.toLatin1();
        if (::stat(link.constData(), &info) == 0 && info.st_dev == file.st_dev
            && info.st_ino == file.st_ino)
            ++found;
    }
    return found;
}

// Counts what the kernel reports about one file: opens, closes, writes.
class FileEvents
{
public:
    explicit FileEvents(const QString &path)
        : fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(fd, QFile::encodeName(path).constData(),
                            IN_OPEN | IN_CLOSE_NOWRITE | IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB);
    }
    ~FileEvents() { ::close(fd); }
    void drain()
    {
        alignas(struct inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
            for (char *at = buffer; at < buffer + n;) {
                const auto *event = reinterpret_cast<const struct inotify_event *>(at);
                opens += (event->mask & IN_OPEN) != 0;
                closes += (event->mask & (IN_CLOSE_NOWRITE | IN_CLOSE_WRITE)) != 0;
                writes += (event->mask & (IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB)) != 0;
                at += sizeof(struct inotify_event) + event->len;
            }
        }
    }
    bool valid() const { return fd >= 0; }
    int opens = 0;
    int closes = 0;
    int writes = 0;

private:
    int fd;
};

} // namespace

class FaultReadOnly : public QObject
{
    Q_OBJECT

private slots:
    void sessionOfReloadsLeavesTheFileAlone();
    void noDescriptorHeldWhileAnotherProcessWrites();

private:
    QTemporaryDir dir;
};

void FaultReadOnly::sessionOfReloadsLeavesTheFileAlone()
{
    const QString log = dir.filePath(QStringLiteral("untouched.log"));
    QByteArray content;
    for (int i = 0; i < 400; ++i)
        content += QString::fromUtf8("%1 行目 ERROR 発生\r\n").arg(i).toUtf8();
    writeFile(log, content);
    QTest::qWait(20);   // so a write in the same clock tick could not hide in the mtime
    const struct stat before = statOf(log);
    FileEvents events(log);
    QVERIFY(events.valid());

    ViewSetup setup;
    setup.highlight = QStringLiteral("error");
    ViewSession session(setup);

    // Between any two reloads (this timer runs in the event loop, so never
    // inside one) no descriptor of the file is open, and every open is closed.
    int heldOpen = 0;
    int unbalanced = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        heldOpen += descriptorsOf(before) > 0;
        events.drain();
        unbalanced += events.opens != events.closes;
    });
    sampler.start(5);

    session.open(log);
    MainWindow *w = session.window();
    auto *mode = w->findChild<QComboBox *>(QStringLiteral("comboBox_2"));
    auto *count = w->findChild<QSpinBox *>(QStringLiteral("spinBox"));
    auto *percent = w->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox"));
    auto *frequency = w->findChild<QComboBox *>(QStringLiteral("comboBox_3"));
    for (const char *codec : {"actionSJIS", "actionEUC_JP", "actionUTF", "actionUnicode"}) {
        w->findChild<QAction *>(QString::fromLatin1(codec))->trigger();
        for (int m : {0, 2, 1}) {
            mode->setCurrentIndex(m);
            count->setValue(count->value() == 5 ? 30 : 5);
            if (m == 2)
                percent->setValue(37.5);
            w->findChild<QAction *>(QStringLiteral("action_3"))->trigger();   // extract mode
            session.clickRefresh();
            QTest::qWait(30);
        }
    }
    frequency->setCurrentIndex(1);
    QTest::qWait(1600);   // timer reloads of the unchanged file
    events.drain();
    sampler.stop();

    QVERIFY2(session.text().contains(QStringLiteral("ERROR")), qPrintable(session.text().left(200)));
    QVERIFY2(events.opens >= 24, qPrintable(QString::number(events.opens)));   // the reloads were seen
    QCOMPARE(events.closes, events.opens);
    QCOMPARE(events.writes, 0);
    QCOMPARE(heldOpen, 0);
    QCOMPARE(unbalanced, 0);

    const struct stat after = statOf(log);
    QCOMPARE(readFile(log), content);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(after.st_ctim.tv_sec, before.st_ctim.tv_sec);   // not even its attributes
    QCOMPARE(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultReadOnly::noDescriptorHeldWhileAnotherProcessWrites()
{
    const QString log = dir.filePath(QStringLiteral("written-elsewhere.log"));
    writeFile(log, QByteArray());
    const struct stat file = statOf(log);
    ViewSession session(ViewSetup{});
    session.open(log);

    int heldOpen = 0;
    int samples = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        heldOpen += descriptorsOf(file) > 0;
        ++samples;
    });
    sampler.start(5);

    // The writer is another process, so its own descriptors are not ours.
    QProcess writer;
    writer.start(QStringLiteral("sh"), {QStringLiteral("-c"),
        QStringLiteral("i=1; while [ $i -le 30 ]; do echo \"line $i\" >> \"$1\"; i=$((i+1)); "
                       "sleep 0.05; done"), QStringLiteral("sh"), log});
    QVERIFY(writer.waitForStarted());
    QVERIFY(session.waitFor([&] { return writer.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(writer.exitCode(), 0);
    QVERIFY2(session.waitForText(newestWindow(numberedLines("line", 1, 30), 5), 2000),
             qPrintable(session.text()));
    sampler.stop();
    QVERIFY(samples > 100);
    QCOMPARE(heldOpen, 0);
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

QTEST_MAIN(FaultReadOnly)
#include "tst_faultreadonly.moc"
