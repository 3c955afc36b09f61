#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace Kavvix {

namespace Parsers {
struct ScoreSet;
}

// Reads the text of a Colorado judging console into a score set. Each ParseData call stands
// alone: the score set is cleared first, then filled from the record the text holds.
class clsColoradoData : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool DataIsValid READ DataIsValid WRITE setDataIsValid)
    Q_PROPERTY(float CurrentTotal READ CurrentTotal WRITE setCurrentTotal)
    Q_PROPERTY(
        qint16 ExpectedNumberOfJudges READ ExpectedNumberOfJudges WRITE setExpectedNumberOfJudges)
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
    explicit clsColoradoData(QObject *parent = nullptr);
    ~clsColoradoData() override;

    bool DataIsValid() const;
    void setDataIsValid(bool value);
    // "major.minor.revision" of the library.
    Q_INVOKABLE QString DLLVersion() const;
    float CurrentTotal() const;
    void setCurrentTotal(float value);
    // Kept for the host; the parser does not read it.
    qint16 ExpectedNumberOfJudges() const;
    void setExpectedNumberOfJudges(qint16 numJudges);
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
    // Not written by ParseData: the position letter arrives as part of DiveNumber.
    QString DivePosition() const;
    void setDivePosition(const QString &value);
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

    // Clears the score set, finds the record in the text and stores its items. Returns an
    // empty text when a record was stored or the text holds none (DataIsValid tells which),
    // otherwise a message for the host; never throws.
    Q_INVOKABLE QString ParseData(const QString &StringFromColorado);

private:
    void storeJudgeScore(int index, float score);

    std::unique_ptr<Parsers::ScoreSet> m_scores;
    qint16 m_expectedNumberOfJudges = 0;
};

} // namespace Kavvix
