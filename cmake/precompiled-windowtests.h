// What the window's tests have in common.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "precompiled-widgets.h"
