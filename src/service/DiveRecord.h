#pragma once

#include <QJsonObject>
#include <QList>
#include <QMetaProperty>
#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace Kavvix {

class cDiveResult;

// One judged dive as the service keeps it: the console's fields (named as the properties of
// cDiveResult), the meet event it was mapped to when it arrived, the raw frame and when it
// arrived. The same shape goes to the database, the journal, the API and the feed.
struct DiveRecord {
    QString meetId;
    QString eventId;
    QVariant regId;          // null until looked up in the dive sheets, or when there is none
    int revision = 0;        // 0 while the dive waits in the journal
    qint64 receivedAtMs = 0; // UTC, milliseconds since the epoch
    qint64 change = 0;       // the table's change number of the stored row; 0 before
    QString rawFrame;
    QJsonObject fields;

    static DiveRecord fromResult(const cDiveResult &result);
    // The API and feed shape: meetId, eventId, regId, revision, receivedAt and every field.
    QJsonObject toJson() const;
    // The journal shape (lossless), and back; false when a required member is missing.
    QJsonObject toJournal() const;
    static bool fromJournal(const QJsonObject &object, DiveRecord &record);

    qint16 round() const { return qint16(fields.value(QLatin1String("DiveRound")).toInt()); }
    qint16 divingOrder() const {
        return qint16(fields.value(QLatin1String("DivingOrder")).toInt());
    }
    double totalScore() const { return fields.value(QLatin1String("TotalScore")).toDouble(); }
};

// The properties of cDiveResult, in declaration order: the dive's fields and their types.
const QList<QMetaProperty> &diveFieldProperties();

// A field value in its one canonical JSON form, whatever it was read from (a record, the
// database, the journal): whole numbers as integers, scores as the shortest decimal that reads
// back to the same single-precision value, texts as texts. Equal dives compare equal.
QJsonValue canonicalField(const QMetaProperty &property, const QVariant &value);

} // namespace Kavvix
