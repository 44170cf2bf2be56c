#include "cadhost/dbus/AutomationCall.h"

#include "cadhost/model/CadErrors.h"
#include "platform/VbError.h"

namespace cadhost::dbus {

QString errorMessage(qint32 number, const QString& description) {
    return QString::number(quint32(number), 16).toUpper().rightJustified(8, QLatin1Char('0')) +
           QStringLiteral(": ") + description;
}

void replyError(QDBusContext& context, const std::exception& error) {
    if (!context.calledFromDBus())
        throw; // an in-process caller gets the exception itself
    if (const auto* vb = dynamic_cast<const platform::VbError*>(&error)) {
        context.sendErrorReply(QString::fromLatin1(kErrorName),
                               errorMessage(vb->number(), vb->description()));
        return;
    }
    context.sendErrorReply(QString::fromLatin1(kErrorName),
                           errorMessage(caderr::Failed, QString::fromLocal8Bit(error.what())));
}

} // namespace cadhost::dbus
