#include "PageFiles.h"

#include <QFile>
#include <QJsonObject>

namespace Kavvix {

namespace {

const QString ResourceFolder = QStringLiteral(":/kavvix/pages/");

QByteArray mimeType(const QString &name) {
    if (name.endsWith(QLatin1String(".html")))
        return "text/html; charset=utf-8";
    if (name.endsWith(QLatin1String(".js")))
        return "text/javascript; charset=utf-8";
    if (name.endsWith(QLatin1String(".css")))
        return "text/css; charset=utf-8";
    if (name.endsWith(QLatin1String(".svg")))
        return "image/svg+xml";
    return {};
}

} // namespace

// connect-src 'self' takes in the feed's ws:// URL on the same host and port.
const QByteArray PageFiles::ContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'";

QHttpServerResponse PageFiles::file(const QString &name) {
    QFile file(ResourceFolder + name);
    const QByteArray type = mimeType(name);
    if (type.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QHttpServerResponse(
            QJsonObject{{"error", QStringLiteral("no such page: %1").arg(name)}},
            QHttpServerResponse::StatusCode::NotFound);
    QHttpServerResponse response(type, file.readAll());
    response.setHeader("Content-Security-Policy", ContentSecurityPolicy);
    response.setHeader("X-Content-Type-Options", "nosniff");
    response.setHeader("Cache-Control", "no-cache");
    return response;
}

} // namespace Kavvix
