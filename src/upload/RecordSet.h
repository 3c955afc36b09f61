#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <memory>
#include <stdexcept>

// How the upload reads the host's database: read-only, scrollable record sets whose
// identifiers are bound values, so a quote inside an identifier can never change a query.
namespace Kavvix {
class ServerWatchdog;
}

namespace Kavvix::RecordSet {

// A query that could not be prepared or run; text() carries the driver's error on one line.
class QueryFailure : public std::runtime_error {
public:
    explicit QueryFailure(const QString &text);
    QString text() const { return QString::fromStdString(what()); }
};

// A driver's error on one line naming its cause: the database's own first line, or the
// driver's text when the database gave none, or the time-out when the watchdog ended the wait.
QString describe(const QSqlError &error, const ServerWatchdog &watchdog);

// Prepares the SELECT text, binds values to its "?" placeholders in order and runs it.
// The result is positioned before its first row. Throws QueryFailure.
std::unique_ptr<QSqlQuery> open(const QSqlDatabase &db, const QString &sql,
                                const QVariantList &values);

// Row count of a scrollable result (SQLite reports no size): moves to the last row and back
// to the first. 0 for an empty result.
int rowCount(QSqlQuery &rs);

// A field read as a number the way the library reads console text: the value turned into
// text (null gives the empty text, which reads as 0), then its leading number.
double numberOf(const QVariant &field);

} // namespace Kavvix::RecordSet
