#ifndef PREADSWITCH_H
#define PREADSWITCH_H

// The switch of tests/failingpread.cpp, which CTest preloads into the tests
// that use it: while the switch file exists, pread() on the file it names
// fails as it says ("EIO <from byte>", or "EINTR" on every other call).

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <dlfcn.h>

class PreadSwitch
{
public:
    static bool shimLoaded() { return dlsym(RTLD_DEFAULT, "tailpeekFailingPreadLoaded") != nullptr; }

    // Tells the shim where the switch file will be: in folder.
    void placeIn(const QString &folder)
    {
        switchPath = folder + QStringLiteral("/pread-switch");
        qputenv("TAILPEEK_PREAD_SWITCH", QFile::encodeName(switchPath));
    }
    bool arm(const QString &target, const QByteArray &fault) const
    {
        QFile file(switchPath);
        const QByteArray line = QFile::encodeName(QFileInfo(target).canonicalFilePath()) + '\n' + fault + '\n';
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(line) == line.size();
    }
    bool disarm() const { return QFile::remove(switchPath); }

private:
    QString switchPath;
};

#endif // PREADSWITCH_H
