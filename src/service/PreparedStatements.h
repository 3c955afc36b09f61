#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <memory>
#include <unordered_map>

namespace Kavvix {

// The statements a connection runs again and again (every dive, every request), each prepared
// once. A reopened connection needs them prepared again: forget() drops them all.
class PreparedStatements {
public:
    explicit PreparedStatements(const QSqlDatabase &db) : m_db(db) {}

    // The statement for this SQL text, prepared on first use, with its values bound in order;
    // nullptr (and lastError()) when it cannot be prepared. Call finish() on it when done
    // reading, so that SQLite lets go of its read lock.
    QSqlQuery *bind(const QString &sql, const QVariantList &values);
    void forget() { m_statements.clear(); }
    QString lastError() const { return m_lastError; }

private:
    QSqlDatabase m_db;
    // Each statement stays where it is while others are added: callers hold pointers.
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> m_statements;
    QString m_lastError;
};

} // namespace Kavvix
