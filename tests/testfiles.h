#ifndef TESTFILES_H
#define TESTFILES_H

// The files the tests view, and the changes made to them. Plain POSIX calls,
// so the fault suites' writer thread can use them too; each opens, acts,
// closes. A failure is printed (perror) and returned as false.

#include <QByteArray>
#include <QString>

namespace testkit {

bool writeFile(const QString &path, const QByteArray &bytes);    // replaces the content
bool appendFile(const QString &path, const QByteArray &bytes);
bool truncateFile(const QString &path, qint64 size);
QByteArray readFile(const QString &path);                         // empty when unreadable
bool removePath(const QString &path);                             // a file or an empty folder
bool renamePath(const QString &from, const QString &to);

// Numbered ASCII lines "<prefix> <i>\n" for i in [first, last].
QByteArray numberedLines(const char *prefix, int first, int last);
// Lines of one width for i in [first, last]: i in six digits and a space,
// filled with 'x' to width characters (at least 7), then a line feed. Every
// line is width + 1 bytes, so every offset is computable.
QByteArray fixedWidthLines(int first, int last, int width);

} // namespace testkit

#endif // TESTFILES_H
