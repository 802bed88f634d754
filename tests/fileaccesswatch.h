#ifndef FILEACCESSWATCH_H
#define FILEACCESSWATCH_H

// Counts, from outside the program, how often one file is opened and read:
// Linux inotify's IN_OPEN and IN_ACCESS events on it. The kernel queues an event
// during the system call itself, so after an action returns its events are
// already waiting. Every open counts, the test's own included: take() the
// counts after the test has touched the file and before the action it measures.
// The kernel merges an event into an identical unread one just before it, so
// closes are watched too: open, close, open, close keeps two opens apart. Reads
// between an open and its close may merge, so accesses tell "read or not", not
// how many reads.

#include <QString>

class FileAccessWatch
{
public:
    struct Counts
    {
        int opens = 0;      // open() calls on the file
        int accesses = 0;   // runs of read() calls on it (0 means not read)
    };

    explicit FileAccessWatch(const QString &path);
    ~FileAccessWatch();
    FileAccessWatch(const FileAccessWatch &) = delete;
    FileAccessWatch &operator=(const FileAccessWatch &) = delete;

    bool isValid() const { return watch >= 0; }

    // The events since the previous call, and forgets them.
    Counts take();
    int takeOpens() { return take().opens; }

private:
    int fd = -1;
    int watch = -1;
};

#endif // FILEACCESSWATCH_H
