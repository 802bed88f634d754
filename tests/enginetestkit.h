#ifndef ENGINETESTKIT_H
#define ENGINETESTKIT_H

// What the engine tests share, Qt Core only: the files they read, each under
// a name of its own in one temporary folder that goes away with the test, and
// the requests they read them with.

#include "linewindowreader.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// The start modes as data rows name them.
constexpr int Header = WindowRequest::HeaderMode;
constexpr int Newest = WindowRequest::NewestMode;
constexpr int Percent = WindowRequest::PercentMode;

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

// A request for a window of lines; the other fields keep their defaults.
inline WindowRequest makeRequest(int mode, qint64 lines, qint64 maxChars = WindowRequest::DefaultLineChars,
                                 double percent = 0, const QString &codecName = CodecName::Utf8)
{
    WindowRequest request;
    request.startMode = startModeFromIndex(mode);
    request.lineCount = lines;
    request.maxLineChars = maxChars;
    request.percent = percent;
    request.codecName = codecName;
    return request;
}

#endif // ENGINETESTKIT_H
