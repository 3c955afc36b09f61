#include "RecordSet.h"

#include "common/NumericText.h"

#include <QSqlError>

namespace Kavvix::RecordSet {

QueryFailure::QueryFailure(const QString &text) : std::runtime_error(text.toStdString()) {}

std::unique_ptr<QSqlQuery> open(const QSqlDatabase &db, const QString &sql,
                                const QVariantList &values) {
    // A connection that is not open fails like any query would, without Qt's console warning.
    if (!db.isOpen())
        throw QueryFailure(QStringLiteral("the database connection is not open"));
    auto rs = std::make_unique<QSqlQuery>(db);
    rs->setForwardOnly(false);
    if (!rs->prepare(sql))
        throw QueryFailure(rs->lastError().text().simplified());
    for (const QVariant &value : values)
        rs->addBindValue(value);
    if (!rs->exec())
        throw QueryFailure(rs->lastError().text().simplified());
    return rs;
}

int rowCount(QSqlQuery &rs) {
    if (!rs.last())
        return 0;
    const int count = rs.at() + 1;
    rs.first();
    return count;
}

double numberOf(const QVariant &field) {
    return NumericText::valueOf(field.isNull() ? QString() : field.toString());
}

} // namespace Kavvix::RecordSet
