#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace Kavvix {

namespace Parsers {
struct ScoreSet;
}

// Reads Daktronics score-data packets into a score set. Each packet carries a run of fields of
// one fixed-layout record; fields accumulate over ParseData calls until InitializeItems.
class clsDaktronicsData : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool DataIsValid READ DataIsValid WRITE setDataIsValid)
    Q_PROPERTY(float CurrentTotal READ CurrentTotal WRITE setCurrentTotal)
    Q_PROPERTY(bool DataIsComplete READ DataIsComplete)
    Q_PROPERTY(bool HaveJudgesScores READ HaveJudgesScores)
    Q_PROPERTY(qint16 ExpectedNumberOfJudges READ ExpectedNumberOfJudges)
    // Write-only: read back through ExpectedNumberOfJudges.
    Q_PROPERTY(qint16 NumberOfJudgesRequired WRITE setNumberOfJudgesRequired)
    Q_PROPERTY(float StartingScore READ StartingScore WRITE setStartingScore)
    Q_PROPERTY(float DiveTotal READ DiveTotal WRITE setDiveTotal)
    Q_PROPERTY(float Judge10Score READ Judge10Score WRITE setJudge10Score)
    Q_PROPERTY(float Judge9Score READ Judge9Score WRITE setJudge9Score)
    Q_PROPERTY(float Judge8Score READ Judge8Score WRITE setJudge8Score)
    Q_PROPERTY(float Judge7Score READ Judge7Score WRITE setJudge7Score)
    Q_PROPERTY(float Judge6Score READ Judge6Score WRITE setJudge6Score)
    Q_PROPERTY(float Judge5Score READ Judge5Score WRITE setJudge5Score)
    Q_PROPERTY(float Judge4Score READ Judge4Score WRITE setJudge4Score)
    Q_PROPERTY(float Judge3Score READ Judge3Score WRITE setJudge3Score)
    Q_PROPERTY(float Judge2Score READ Judge2Score WRITE setJudge2Score)
    Q_PROPERTY(float Judge1Score READ Judge1Score WRITE setJudge1Score)
    Q_PROPERTY(float DiveDD READ DiveDD WRITE setDiveDD)
    Q_PROPERTY(QString DivePosition READ DivePosition WRITE setDivePosition)
    Q_PROPERTY(QString DiveNumber READ DiveNumber WRITE setDiveNumber)
    Q_PROPERTY(qint16 CurrentRound READ CurrentRound WRITE setCurrentRound)
    Q_PROPERTY(qint16 DiverNumber READ DiverNumber WRITE setDiverNumber)
    Q_PROPERTY(QString PrimaryDiver READ PrimaryDiver WRITE setPrimaryDiver)
    Q_PROPERTY(QString SynchroPartner READ SynchroPartner WRITE setSynchroPartner)

public:
    explicit clsDaktronicsData(QObject *parent = nullptr);
    ~clsDaktronicsData() override;

    bool DataIsValid() const;
    void setDataIsValid(bool value);
    // "major.minor.revision" of the library.
    Q_INVOKABLE QString DLLVersion() const;
    // True when the text has an EOT, an SOH, and "004" (score data) right after its first SOH.
    Q_INVOKABLE bool ContainsValidCommand(const QString &dataToCheck) const;
    float CurrentTotal() const;
    void setCurrentTotal(float value);
    // Round, diver, dive number, position and degree of difficulty known, and enough judge
    // scores counted when a number of judges is required.
    bool DataIsComplete() const;
    bool HaveJudgesScores() const;
    qint16 ExpectedNumberOfJudges() const;
    // 0 means no number of judges is required.
    void setNumberOfJudgesRequired(qint16 vNewValue);
    // Back to a new object's score set; NumberOfJudgesRequired is kept.
    Q_INVOKABLE void InitializeItems();
    float StartingScore() const;
    void setStartingScore(float value);
    float DiveTotal() const;
    void setDiveTotal(float value);
    float Judge10Score() const;
    void setJudge10Score(float value);
    float Judge9Score() const;
    void setJudge9Score(float value);
    float Judge8Score() const;
    void setJudge8Score(float value);
    float Judge7Score() const;
    void setJudge7Score(float value);
    float Judge6Score() const;
    void setJudge6Score(float value);
    float Judge5Score() const;
    void setJudge5Score(float value);
    float Judge4Score() const;
    void setJudge4Score(float value);
    float Judge3Score() const;
    void setJudge3Score(float value);
    float Judge2Score() const;
    void setJudge2Score(float value);
    float Judge1Score() const;
    void setJudge1Score(float value);
    float DiveDD() const;
    void setDiveDD(float value);
    QString DivePosition() const;
    void setDivePosition(const QString &value);
    // Reads the dive number immediately followed by the position letter ("105B"); the setter
    // stores the dive number alone.
    QString DiveNumber() const;
    void setDiveNumber(const QString &value);
    qint16 CurrentRound() const;
    void setCurrentRound(qint16 value);
    qint16 DiverNumber() const;
    void setDiverNumber(qint16 value);
    QString PrimaryDiver() const;
    void setPrimaryDiver(const QString &value);
    QString SynchroPartner() const;
    void setSynchroPartner(const QString &value);

    // Stores the fields one packet carries. Returns an empty text, or a message when the
    // packet could not be read; never throws.
    Q_INVOKABLE QString ParseData(const QString &DataStream);

    // Judge-score assignments since creation or the last InitializeItems (C++ callers only).
    qint16 JudgesScoresReceived() const { return m_judgesScoresReceived; }

private:
    // Every judge-score setter: stores the score, then counts it; past 32767 the score stays
    // stored, the count stays at 32767 and the setter throws Error (numeric overflow).
    void storeJudgeScore(int index, float score);
    static qint16 FieldLengthAt(qint32 recordPosition);
    void StoreField(qint32 recordPosition, QStringView field);

    std::unique_ptr<Parsers::ScoreSet> m_scores;
    qint16 m_judgesScoresReceived = 0;
    qint16 m_numberOfJudgesRequired = 0;
    // The packet's control characters as one-character texts, fixed at creation.
    const QString m_sSOH;
    const QString m_sSTX;
    const QString m_sEOT;
};

} // namespace Kavvix
