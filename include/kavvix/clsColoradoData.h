#pragma once

#include <kavvix/export.h>

#include <kavvix/ScoreSetObject.h>

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace Kavvix {

// Reads the text of a Colorado judging console into a score set. Each ParseData call stands
// alone: the score set is cleared first, then filled from the record the text holds.
// DivePosition is never written by ParseData: the position letter arrives as part of DiveNumber.
class KAVVIX_EXPORT clsColoradoData : public ScoreSetObject {
    Q_OBJECT
    Q_PROPERTY(
        qint16 ExpectedNumberOfJudges READ ExpectedNumberOfJudges WRITE setExpectedNumberOfJudges)

public:
    explicit clsColoradoData(QObject *parent = nullptr);

    // Kept for the host; the parser does not read it.
    qint16 ExpectedNumberOfJudges() const { return m_expectedNumberOfJudges; }
    void setExpectedNumberOfJudges(qint16 numJudges) { m_expectedNumberOfJudges = numJudges; }

    // Clears the score set, finds the record in the text and stores its items. Returns an
    // empty text when a record was stored or the text holds none (DataIsValid tells which),
    // otherwise a message for the host; never throws.
    Q_INVOKABLE QString ParseData(const QString &StringFromColorado);

private:
    qint16 m_expectedNumberOfJudges = 0;
};

} // namespace Kavvix
