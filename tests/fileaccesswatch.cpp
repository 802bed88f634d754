#include "fileaccesswatch.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FileAccessWatch::FileAccessWatch(const QString &path)
{
    fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return;
    watch = inotify_add_watch(fd, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS | IN_CLOSE);
}

FileAccessWatch::~FileAccessWatch()
{
    if (fd >= 0)
        ::close(fd);
}

FileAccessWatch::Counts FileAccessWatch::take()
{
    Counts counts;
    if (fd < 0)
        return counts;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;   // EAGAIN: the queue is empty
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.mask & IN_OPEN)
                ++counts.opens;
            if (event.mask & IN_ACCESS)
                ++counts.accesses;
            at += ssize_t(sizeof(inotify_event)) + ssize_t(event.len);
        }
    }
    return counts;
}
