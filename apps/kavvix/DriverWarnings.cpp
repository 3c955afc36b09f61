#include "DriverWarnings.h"

#include <QtGlobal>

namespace KavvixCli::DriverWarnings {

namespace {

QtMessageHandler previousHandler = nullptr;

void filter(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (type == QtWarningMsg && isLostStatementWarning(message))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void install() {
    previousHandler = qInstallMessageHandler(filter);
}

bool isLostStatementWarning(const QString &message) {
    return message.startsWith(QLatin1String("Unable to free statement: "));
}

} // namespace KavvixCli::DriverWarnings
