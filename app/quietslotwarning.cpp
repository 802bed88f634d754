#include "quietslotwarning.h"

#include <QString>
#include <QtGlobal>

#include <cstring>

namespace {

QtMessageHandler passOn = nullptr;
QByteArray quietMessage;

void dropQuietMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool quiet = type == QtWarningMsg && context.category
                       && std::strcmp(context.category, "qt.core.qmetaobject.connectslotsbyname") == 0
                       && message == QLatin1String(quietMessage);
    if (!quiet)
        passOn(type, context, message);
}

} // namespace

QuietSlotWarning::QuietSlotWarning(const char *slotSignature)
{
    Q_ASSERT(!passOn);   // one at a time
    quietMessage = QByteArray("QMetaObject::connectSlotsByName: No matching signal for ") + slotSignature;
    passOn = qInstallMessageHandler(dropQuietMessage);
}

QuietSlotWarning::~QuietSlotWarning()
{
    qInstallMessageHandler(passOn);
    passOn = nullptr;
}
