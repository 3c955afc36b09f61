#pragma once

#include <kavvix/export.h>

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace Kavvix {

// One judged dive as the timing console reports it: 23 plain stored fields. Reading returns
// the stored value; writing stores the value as given, with no check or conversion. A new
// record holds "0" in Stage, empty texts elsewhere and 0 in every number.
//
// Records decoded from the console reach the host through cDakProcessor::DiveResult; see there
// who owns them.
class KAVVIX_EXPORT cDiveResult : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint16 EventNumberN READ EventNumberN WRITE setEventNumberN)
    Q_PROPERTY(QString EventNumberA READ EventNumberA WRITE setEventNumberA)
    Q_PROPERTY(QString Stage READ Stage WRITE setStage)
    Q_PROPERTY(QString InsertOrder READ InsertOrder WRITE setInsertOrder)
    Q_PROPERTY(qint16 DiveRound READ DiveRound WRITE setDiveRound)
    Q_PROPERTY(qint16 DivingOrder READ DivingOrder WRITE setDivingOrder)
    Q_PROPERTY(QString DiveNumber READ DiveNumber WRITE setDiveNumber)
    Q_PROPERTY(QString DivePos READ DivePos WRITE setDivePos)
    Q_PROPERTY(float DiveDD READ DiveDD WRITE setDiveDD)
    Q_PROPERTY(float J1Score READ J1Score WRITE setJ1Score)
    Q_PROPERTY(float J2Score READ J2Score WRITE setJ2Score)
    Q_PROPERTY(float J3Score READ J3Score WRITE setJ3Score)
    Q_PROPERTY(float J4Score READ J4Score WRITE setJ4Score)
    Q_PROPERTY(float J5Score READ J5Score WRITE setJ5Score)
    Q_PROPERTY(float J6Score READ J6Score WRITE setJ6Score)
    Q_PROPERTY(float J7Score READ J7Score WRITE setJ7Score)
    Q_PROPERTY(float J8Score READ J8Score WRITE setJ8Score)
    Q_PROPERTY(float J9Score READ J9Score WRITE setJ9Score)
    Q_PROPERTY(QString BALKflag READ BALKflag WRITE setBALKflag)
    Q_PROPERTY(QString FAILflag READ FAILflag WRITE setFAILflag)
    Q_PROPERTY(float DiveTotal READ DiveTotal WRITE setDiveTotal)
    Q_PROPERTY(float TotalScore READ TotalScore WRITE setTotalScore)
    Q_PROPERTY(QString BoardLevel READ BoardLevel WRITE setBoardLevel)

public:
    Q_INVOKABLE explicit cDiveResult(QObject *parent = nullptr);

    qint16 EventNumberN() const { return m_eventNumberN; }
    void setEventNumberN(qint16 value) { m_eventNumberN = value; }
    QString EventNumberA() const { return m_eventNumberA; }
    void setEventNumberA(const QString &value) { m_eventNumberA = value; }
    QString Stage() const { return m_stage; }
    void setStage(const QString &value) { m_stage = value; }
    QString InsertOrder() const { return m_insertOrder; }
    void setInsertOrder(const QString &value) { m_insertOrder = value; }
    qint16 DiveRound() const { return m_diveRound; }
    void setDiveRound(qint16 value) { m_diveRound = value; }
    qint16 DivingOrder() const { return m_divingOrder; }
    void setDivingOrder(qint16 value) { m_divingOrder = value; }
    QString DiveNumber() const { return m_diveNumber; }
    void setDiveNumber(const QString &value) { m_diveNumber = value; }
    QString DivePos() const { return m_divePos; }
    void setDivePos(const QString &value) { m_divePos = value; }
    float DiveDD() const { return m_diveDD; }
    void setDiveDD(float value) { m_diveDD = value; }
    float J1Score() const { return m_j1Score; }
    void setJ1Score(float value) { m_j1Score = value; }
    float J2Score() const { return m_j2Score; }
    void setJ2Score(float value) { m_j2Score = value; }
    float J3Score() const { return m_j3Score; }
    void setJ3Score(float value) { m_j3Score = value; }
    float J4Score() const { return m_j4Score; }
    void setJ4Score(float value) { m_j4Score = value; }
    float J5Score() const { return m_j5Score; }
    void setJ5Score(float value) { m_j5Score = value; }
    float J6Score() const { return m_j6Score; }
    void setJ6Score(float value) { m_j6Score = value; }
    float J7Score() const { return m_j7Score; }
    void setJ7Score(float value) { m_j7Score = value; }
    float J8Score() const { return m_j8Score; }
    void setJ8Score(float value) { m_j8Score = value; }
    float J9Score() const { return m_j9Score; }
    void setJ9Score(float value) { m_j9Score = value; }
    QString BALKflag() const { return m_balkFlag; }
    void setBALKflag(const QString &value) { m_balkFlag = value; }
    QString FAILflag() const { return m_failFlag; }
    void setFAILflag(const QString &value) { m_failFlag = value; }
    float DiveTotal() const { return m_diveTotal; }
    void setDiveTotal(float value) { m_diveTotal = value; }
    float TotalScore() const { return m_totalScore; }
    void setTotalScore(float value) { m_totalScore = value; }
    QString BoardLevel() const { return m_boardLevel; }
    void setBoardLevel(const QString &value) { m_boardLevel = value; }

private:
    qint16 m_eventNumberN = 0;
    QString m_eventNumberA;
    QString m_stage = QStringLiteral("0");
    QString m_insertOrder;
    qint16 m_diveRound = 0;
    qint16 m_divingOrder = 0;
    QString m_diveNumber;
    QString m_divePos;
    float m_diveDD = 0;
    float m_j1Score = 0;
    float m_j2Score = 0;
    float m_j3Score = 0;
    float m_j4Score = 0;
    float m_j5Score = 0;
    float m_j6Score = 0;
    float m_j7Score = 0;
    float m_j8Score = 0;
    float m_j9Score = 0;
    QString m_balkFlag;
    QString m_failFlag;
    float m_diveTotal = 0;
    float m_totalScore = 0;
    QString m_boardLevel;
};

} // namespace Kavvix
