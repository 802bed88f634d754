// The Qt Core headers that most of the engine's files include.
#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>
