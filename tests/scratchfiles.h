#ifndef SCRATCHFILES_H
#define SCRATCHFILES_H

// The files an engine test reads: each under a name of its own in one
// temporary folder that goes away with the test. Qt Core only.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

class ScratchFiles
{
public:
    // A new file holding bytes; its path.
    QString write(const QByteArray &bytes)
    {
        const QString path = newPath(QStringLiteral("f"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // A name not used yet in the folder; nothing is made there.
    QString newPath(const QString &stem) { return dir.filePath(stem + QString::number(++count)); }
    QString folder() const { return dir.path(); }
    bool isValid() const { return dir.isValid(); }

private:
    QTemporaryDir dir;
    int count = 0;
};

#endif // SCRATCHFILES_H
