#ifndef FILEDROPFILTER_H
#define FILEDROPFILTER_H

// Lets files dropped from a file manager onto the window (the view included)
// be opened, without adding an event handler to the window class itself.

#include <QString>

#include <functional>

class QWidget;

// Watches window and view for drags that carry one local file and calls open
// with its path when it is dropped. The filter object is a child of window.
void installFileDropFilter(QWidget *window, QWidget *view,
                           std::function<void(const QString &)> open);

#endif // FILEDROPFILTER_H
