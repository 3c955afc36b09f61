#include <kavvix/cDakResponse.h>

#include "FrameCutter.h"
#include "FrameVerification.h"
#include "ResponseCodes.h"
#include "common/TextPosition.h"

namespace Kavvix {

cDakResponse::cDakResponse(QObject *parent)
    : QObject(parent), m_oCutter(std::make_unique<FrameCutter>(FrameCutter::Handlers{
                           {}, {}, [this](const QString &frame) { ProcessPacket(frame); }})) {
    Reset();
}

cDakResponse::~cDakResponse() = default;

void cDakResponse::AddChar(const QString &sChar) {
    m_oCutter->addChar(sChar);
}

void cDakResponse::Reset() {
    m_oCutter->reset();
    m_sErrMessage.clear();
    m_bAcknowledged = false;
}

void cDakResponse::ProcessPacket(const QString &frame) {
    m_sErrMessage.clear();
    if (!VerifyDataStream(frame)) {
        m_rejectedCode.clear();
        // A copy: a handler that calls Reset() must not empty the text the next handler sees.
        const QString message = m_sErrMessage;
        emit PacketError(message);
        return;
    }
    ProcessCommandLayer(frame);
}

bool cDakResponse::VerifyDataStream(const QString &frame) {
    const FrameVerification v = FrameVerification::of(frame);
    if (!v.framingValid())
        m_sErrMessage = QStringLiteral("Invalid data in packet");
    else if (v.checksumMismatch)
        m_sErrMessage = QStringLiteral("Checksum Error");
    return v.valid();
}

void cDakResponse::ProcessCommandLayer(const QString &frame) {
    if (textAt(frame, 11, 3) == u"900")
        ProcessResponseCode(frame);
}

void cDakResponse::ProcessResponseCode(const QString &frame) {
    const QStringView code = textAt(frame, 14, 2);
    if (code == ResponseCodes::Accepted) {
        Reset();
        m_bAcknowledged = true;
        emit ResponseOK();
    } else if (code == ResponseCodes::ReceivedSuccessfully) {
        // A "07" is a positive answer once, and only after a "00" not yet consumed.
        if (m_bAcknowledged) {
            Reset();
            emit ResponseOK();
        }
    } else if (const QString error = ResponseCodes::errorText(code); !error.isNull()) {
        m_oCutter->clear();
        m_rejectedCode = code.toString();
        emit PacketError(error);
    }
}

} // namespace Kavvix
