#ifndef QUIETSLOTWARNING_H
#define QUIETSLOTWARNING_H

// While it lives, drops the one warning that QMetaObject::connectSlotsByName
// gives for a named slot whose signal it cannot find, and passes every other
// message on. For a slot that is connected by hand instead because its signal
// is gone from the Qt in use (under Qt 6, QComboBox's
// currentIndexChanged(QString)).

#include <QByteArray>

class QuietSlotWarning
{
public:
    explicit QuietSlotWarning(const char *slotSignature);
    ~QuietSlotWarning();
    QuietSlotWarning(const QuietSlotWarning &) = delete;
    QuietSlotWarning &operator=(const QuietSlotWarning &) = delete;
};

#endif // QUIETSLOTWARNING_H
