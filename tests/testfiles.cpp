#include "testfiles.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testkit {

namespace {

bool failed(const QByteArray &name)
{
    std::perror(name.constData());
    return false;
}

bool writeWithFlags(const QString &path, const QByteArray &bytes, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | flags, 0644);
    if (fd < 0)
        return failed(name);
    qint64 at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return failed(name);
        }
        at += n;
    }
    return ::close(fd) == 0 || failed(name);
}

} // namespace

bool writeFile(const QString &path, const QByteArray &bytes)
{
    return writeWithFlags(path, bytes, O_TRUNC);
}

bool appendFile(const QString &path, const QByteArray &bytes)
{
    return writeWithFlags(path, bytes, O_APPEND);
}

bool truncateFile(const QString &path, qint64 size)
{
    const QByteArray name = QFile::encodeName(path);
    return ::truncate(name.constData(), off_t(size)) == 0 || failed(name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool removePath(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0)
        return false;
    return (S_ISDIR(info.st_mode) ? ::rmdir(name.constData()) : ::unlink(name.constData())) == 0
           || failed(name);
}

bool renamePath(const QString &from, const QString &to)
{
    const QByteArray name = QFile::encodeName(from);
    return ::rename(name.constData(), QFile::encodeName(to).constData()) == 0 || failed(name);
}

QByteArray numberedLines(const char *prefix, int first, int last)
{
    QByteArray bytes;
    for (int i = first; i <= last; ++i)
        bytes += QByteArray(prefix) + ' ' + QByteArray::number(i) + '\n';
    return bytes;
}

QByteArray fixedWidthLines(int first, int last, int width)
{
    QByteArray bytes;
    bytes.reserve(qMax(0, last - first + 1) * (width + 1));
    for (int i = first; i <= last; ++i)
        bytes += QByteArray::number(i).rightJustified(6, '0').append(' ').leftJustified(width, 'x') + '\n';
    return bytes;
}

} // namespace testkit
