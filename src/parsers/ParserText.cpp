#include "ParserText.h"

#include "common/NumericText.h"

namespace Kavvix::Parsers {

QStringView trimSpaces(QStringView text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text[first] == u' ')
        ++first;
    while (end > first && text[end - 1] == u' ')
        --end;
    return text.sliced(first, end - first);
}

QString internalErrorMessage(const QString &dataReceived, const Error &error) {
    // The leading space is part of the message the host has always received.
    return QStringLiteral(" Internal error encountered while processing data received. The data "
                          "received was <") +
           dataReceived + QStringLiteral(">. The error reported was (") +
           QString::number(error.code()) + QStringLiteral(") ") + error.description();
}

} // namespace Kavvix::Parsers
