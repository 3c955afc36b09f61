#include "PreparedStatements.h"

#include <QSqlError>

namespace Kavvix {

QSqlQuery *PreparedStatements::bind(const QString &sql, const QVariantList &values) {
    std::unique_ptr<QSqlQuery> &query = m_statements[sql];
    if (!query) {
        auto prepared = std::make_unique<QSqlQuery>(m_db);
        prepared->setForwardOnly(true);
        if (!prepared->prepare(sql)) {
            m_lastError = prepared->lastError().text();
            m_statements.erase(sql);
            return nullptr;
        }
        query = std::move(prepared);
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, values.at(i));
    return query.get();
}

} // namespace Kavvix
