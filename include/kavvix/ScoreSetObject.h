#pragma once

#include <kavvix/export.h>

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace Kavvix {

namespace Parsers {
struct ScoreSet;
}

// The dive facts and judges' scores that both score-data parser classes hold, as properties.
// A parser class adds its own ParseData and the properties it alone has; it overrides
// DiveNumber and storeJudgeScore where its console needs more than a plain read or write.
class KAVVIX_EXPORT ScoreSetObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool DataIsValid READ DataIsValid WRITE setDataIsValid)
    Q_PROPERTY(float CurrentTotal READ CurrentTotal WRITE setCurrentTotal)
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
    ~ScoreSetObject() override;

    // "major.minor.revision" of the library.
    Q_INVOKABLE QString DLLVersion() const;

    bool DataIsValid() const;
    void setDataIsValid(bool value);
    float CurrentTotal() const;
    void setCurrentTotal(float value);
    float StartingScore() const;
    void setStartingScore(float value);
    float DiveTotal() const;
    void setDiveTotal(float value);
    float Judge10Score() const { return judgeScore(9); }
    void setJudge10Score(float value) { storeJudgeScore(9, value); }
    float Judge9Score() const { return judgeScore(8); }
    void setJudge9Score(float value) { storeJudgeScore(8, value); }
    float Judge8Score() const { return judgeScore(7); }
    void setJudge8Score(float value) { storeJudgeScore(7, value); }
    float Judge7Score() const { return judgeScore(6); }
    void setJudge7Score(float value) { storeJudgeScore(6, value); }
    float Judge6Score() const { return judgeScore(5); }
    void setJudge6Score(float value) { storeJudgeScore(5, value); }
    float Judge5Score() const { return judgeScore(4); }
    void setJudge5Score(float value) { storeJudgeScore(4, value); }
    float Judge4Score() const { return judgeScore(3); }
    void setJudge4Score(float value) { storeJudgeScore(3, value); }
    float Judge3Score() const { return judgeScore(2); }
    void setJudge3Score(float value) { storeJudgeScore(2, value); }
    float Judge2Score() const { return judgeScore(1); }
    void setJudge2Score(float value) { storeJudgeScore(1, value); }
    float Judge1Score() const { return judgeScore(0); }
    void setJudge1Score(float value) { storeJudgeScore(0, value); }
    float DiveDD() const;
    void setDiveDD(float value);
    QString DivePosition() const;
    void setDivePosition(const QString &value);
    // The dive number as stored; a class may read it with more attached.
    virtual QString DiveNumber() const;
    void setDiveNumber(const QString &value);
    qint16 CurrentRound() const;
    void setCurrentRound(qint16 value);
    qint16 DiverNumber() const;
    void setDiverNumber(qint16 value);
    QString PrimaryDiver() const;
    void setPrimaryDiver(const QString &value);
    QString SynchroPartner() const;
    void setSynchroPartner(const QString &value);

protected:
    explicit ScoreSetObject(QObject *parent);

    Parsers::ScoreSet &scores() { return *m_scores; }
    const Parsers::ScoreSet &scores() const { return *m_scores; }

    // Every judge-score setter goes through here; index 0 is judge 1.
    virtual void storeJudgeScore(int index, float score);

private:
    float judgeScore(int index) const;

    std::unique_ptr<Parsers::ScoreSet> m_scores;
};

} // namespace Kavvix
