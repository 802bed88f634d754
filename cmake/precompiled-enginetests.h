// What the engine's tests have in common.
#include <QTemporaryDir>
#include <QTest>

#include "precompiled-core.h"
