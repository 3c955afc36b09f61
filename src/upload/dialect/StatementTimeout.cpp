#include "StatementTimeout.h"

#include "SqlDialect.h"

#include <QRegularExpression>

namespace Kavvix::StatementTimeout {

QString connectOptions(int connectSeconds, int statementMs) {
    return QStringLiteral("connect_timeout=%1;options='-c statement_timeout=%2'")
        .arg(connectSeconds)
        .arg(statementMs);
}

int of(const QSqlDatabase &db) {
    if (SqlDialect::engineOf(db) != SqlDialect::Engine::PostgreSQL)
        return 0;
    static const QRegularExpression setting(QStringLiteral("statement_timeout=(\\d+)"));
    return setting.match(db.connectOptions()).captured(1).toInt();
}

} // namespace Kavvix::StatementTimeout
