#include <kavvix/cDiveResult.h>

namespace Kavvix {

cDiveResult::cDiveResult(QObject *parent) : QObject(parent) {
    InitializeResult();
}

void cDiveResult::InitializeResult() {
    m_iEventNumberN = 0;
    m_sEventNumberA = QString();
    m_sStage = QStringLiteral("0");
    m_sInsertOrder = QString();
    m_iDiveRound = 0;
    m_iDivingOrder = 0;
    m_sDiveNumber = QString();
    m_sDivePos = QString();
    m_fDiveDD = 0;
    m_fJ1Score = 0;
    m_fJ2Score = 0;
    m_fJ3Score = 0;
    m_fJ4Score = 0;
    m_fJ5Score = 0;
    m_fJ6Score = 0;
    m_fJ7Score = 0;
    m_fJ8Score = 0;
    m_fJ9Score = 0;
    m_sBALKflag = QString();
    m_sFAILflag = QString();
    m_fDiveTotal = 0;
    m_fTotalScore = 0;
    m_sBoardLevel = QString();
}

} // namespace Kavvix
