#pragma once

#include "PreparedStatements.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QSqlDatabase>
#include <QString>

namespace Kavvix {

// Diver names and teams. The host's tables hold none; a host that has them points a table or
// view kavvix_divers(MeetID, RegID, DiverName, Team) at its own tables. Without one, every
// diver is unnamed and the pages fall back to "Diver " and the RegID.
class DiverNames {
public:
    static inline const QString TableName = QStringLiteral("kavvix_divers");

    DiverNames(const QSqlDatabase &db, const QString &meetId) : m_db(db), m_meetId(meetId) {}

    struct Diver {
        QJsonValue name; // null when the row holds none
        QJsonValue team;
    };
    using Map = QHash<int, Diver>;

    // The meet's divers by RegID; empty when there is no kavvix_divers or it cannot be read.
    Map load() const;
    // The divers as last read, read again only when they may have changed: on SQLite when
    // another connection has written to the file since, elsewhere after ReloadAfterMs.
    const Map &current(PreparedStatements &statements);
    static constexpr qint64 ReloadAfterMs = 10000;
    // Adds "diverName" and "team" to an object that carries "regId" (null when unknown).
    static void annotate(QJsonObject &object, const Map &divers);

private:
    // What tells whether the names may have changed since they were read.
    QVariant changeMark(PreparedStatements &statements) const;

    QSqlDatabase m_db;
    QString m_meetId;
    Map m_current;
    QVariant m_readAtMark; // null: never read
};

} // namespace Kavvix
