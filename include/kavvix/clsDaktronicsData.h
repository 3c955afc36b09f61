#pragma once

#include <kavvix/export.h>

#include <kavvix/ScoreSetObject.h>

#include <QObject>
#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace Kavvix {

// Reads Daktronics score-data packets into a score set. Each packet carries a run of fields of
// one fixed-layout record; fields accumulate over ParseData calls until InitializeItems.
class KAVVIX_EXPORT clsDaktronicsData : public ScoreSetObject {
    Q_OBJECT
    Q_PROPERTY(bool DataIsComplete READ DataIsComplete)
    Q_PROPERTY(bool HaveJudgesScores READ HaveJudgesScores)
    Q_PROPERTY(qint16 ExpectedNumberOfJudges READ ExpectedNumberOfJudges)
    // Write-only: read back through ExpectedNumberOfJudges.
    Q_PROPERTY(qint16 NumberOfJudgesRequired WRITE setNumberOfJudgesRequired)

public:
    explicit clsDaktronicsData(QObject *parent = nullptr);

    // True when the text has an EOT, an SOH, and "004" (score data) right after its first SOH.
    Q_INVOKABLE bool ContainsValidCommand(const QString &dataToCheck) const;
    // Round, diver, dive number, position and degree of difficulty known, and enough judge
    // scores counted when a number of judges is required.
    bool DataIsComplete() const;
    bool HaveJudgesScores() const { return m_judgesScoresReceived > 0; }
    qint16 ExpectedNumberOfJudges() const { return m_numberOfJudgesRequired; }
    // 0 means no number of judges is required.
    void setNumberOfJudgesRequired(qint16 vNewValue) { m_numberOfJudgesRequired = vNewValue; }
    // Back to a new object's score set; NumberOfJudgesRequired is kept.
    Q_INVOKABLE void InitializeItems();
    // The dive number immediately followed by the position letter ("105B"); the setter stores
    // the dive number alone.
    QString DiveNumber() const override;

    // Stores the fields one packet carries. Returns an empty text, or a message when the
    // packet could not be read; never throws.
    Q_INVOKABLE QString ParseData(const QString &DataStream);

    // Judge-score assignments since creation or the last InitializeItems (C++ callers only).
    qint16 JudgesScoresReceived() const { return m_judgesScoresReceived; }

protected:
    // Stores the score, then counts it; past 32767 the score stays stored, the count stays at
    // 32767 and the setter throws Error (numeric overflow).
    void storeJudgeScore(int index, float score) override;

private:
    static qint16 fieldLengthAt(qint32 recordPosition);
    void storeField(qint32 recordPosition, QStringView field);

    qint16 m_judgesScoresReceived = 0;
    qint16 m_numberOfJudgesRequired = 0;
    // The packet's control characters as one-character texts, fixed at creation.
    const QString m_soh;
    const QString m_stx;
    const QString m_eot;
};

} // namespace Kavvix
