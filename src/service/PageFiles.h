#pragma once

#include <QHttpServerResponse>
#include <QString>

namespace Kavvix {

// The results pages (board, overlay, operator) and their scripts and styles, compiled into the
// library as resources. Every page response forbids inline scripts and other origins, so a text
// that slipped into the markup could still not run.
class PageFiles {
public:
    static const QByteArray ContentSecurityPolicy;

    // The file of that name (board.html, common.js, ...) with its MIME type; 404 when there is
    // no such page file.
    static QHttpServerResponse file(const QString &name);
};

} // namespace Kavvix
