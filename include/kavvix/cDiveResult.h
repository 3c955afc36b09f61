#pragma once

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
class cDiveResult : public QObject {
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

    qint16 EventNumberN() const { return m_iEventNumberN; }
    void setEventNumberN(qint16 iEventNumberN) { m_iEventNumberN = iEventNumberN; }
    QString EventNumberA() const { return m_sEventNumberA; }
    void setEventNumberA(const QString &sEventNumberA) { m_sEventNumberA = sEventNumberA; }
    QString Stage() const { return m_sStage; }
    void setStage(const QString &sStage) { m_sStage = sStage; }
    QString InsertOrder() const { return m_sInsertOrder; }
    void setInsertOrder(const QString &sInsertOrder) { m_sInsertOrder = sInsertOrder; }
    qint16 DiveRound() const { return m_iDiveRound; }
    void setDiveRound(qint16 iDiveRound) { m_iDiveRound = iDiveRound; }
    qint16 DivingOrder() const { return m_iDivingOrder; }
    void setDivingOrder(qint16 iDivingOrder) { m_iDivingOrder = iDivingOrder; }
    QString DiveNumber() const { return m_sDiveNumber; }
    void setDiveNumber(const QString &sDiveNumber) { m_sDiveNumber = sDiveNumber; }
    QString DivePos() const { return m_sDivePos; }
    void setDivePos(const QString &sDivePos) { m_sDivePos = sDivePos; }
    float DiveDD() const { return m_fDiveDD; }
    void setDiveDD(float fDiveDD) { m_fDiveDD = fDiveDD; }
    float J1Score() const { return m_fJ1Score; }
    void setJ1Score(float fJ1Score) { m_fJ1Score = fJ1Score; }
    float J2Score() const { return m_fJ2Score; }
    void setJ2Score(float fJ2Score) { m_fJ2Score = fJ2Score; }
    float J3Score() const { return m_fJ3Score; }
    void setJ3Score(float fJ3Score) { m_fJ3Score = fJ3Score; }
    float J4Score() const { return m_fJ4Score; }
    void setJ4Score(float fJ4Score) { m_fJ4Score = fJ4Score; }
    float J5Score() const { return m_fJ5Score; }
    void setJ5Score(float fJ5Score) { m_fJ5Score = fJ5Score; }
    float J6Score() const { return m_fJ6Score; }
    void setJ6Score(float fJ6Score) { m_fJ6Score = fJ6Score; }
    float J7Score() const { return m_fJ7Score; }
    void setJ7Score(float fJ7Score) { m_fJ7Score = fJ7Score; }
    float J8Score() const { return m_fJ8Score; }
    void setJ8Score(float fJ8Score) { m_fJ8Score = fJ8Score; }
    float J9Score() const { return m_fJ9Score; }
    void setJ9Score(float fJ9Score) { m_fJ9Score = fJ9Score; }
    QString BALKflag() const { return m_sBALKflag; }
    void setBALKflag(const QString &sBALKflag) { m_sBALKflag = sBALKflag; }
    QString FAILflag() const { return m_sFAILflag; }
    void setFAILflag(const QString &sFAILflag) { m_sFAILflag = sFAILflag; }
    float DiveTotal() const { return m_fDiveTotal; }
    void setDiveTotal(float fDiveTotal) { m_fDiveTotal = fDiveTotal; }
    float TotalScore() const { return m_fTotalScore; }
    void setTotalScore(float fTotalScore) { m_fTotalScore = fTotalScore; }
    QString BoardLevel() const { return m_sBoardLevel; }
    void setBoardLevel(const QString &sBoardLevel) { m_sBoardLevel = sBoardLevel; }

private:
    void InitializeResult();

    qint16 m_iEventNumberN;
    QString m_sEventNumberA;
    QString m_sStage;
    QString m_sInsertOrder;
    qint16 m_iDiveRound;
    qint16 m_iDivingOrder;
    QString m_sDiveNumber;
    QString m_sDivePos;
    float m_fDiveDD;
    float m_fJ1Score;
    float m_fJ2Score;
    float m_fJ3Score;
    float m_fJ4Score;
    float m_fJ5Score;
    float m_fJ6Score;
    float m_fJ7Score;
    float m_fJ8Score;
    float m_fJ9Score;
    QString m_sBALKflag;
    QString m_sFAILflag;
    float m_fDiveTotal;
    float m_fTotalScore;
    QString m_sBoardLevel;
};

} // namespace Kavvix
