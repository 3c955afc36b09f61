#include <kavvix/cDakResponse.h>

#include "CommandCodes.h"
#include "FrameCutter.h"
#include "FrameLayout.h"
#include "FrameRoutes.h"
#include "ResponseCodes.h"

namespace Kavvix {

cDakResponse::cDakResponse(QObject *parent) : QObject(parent) {
    FrameRoutes routes{
        [this](const QString &, const FrameVerification &checks) {
            m_rejectedCode.clear();
            emit PacketError(checks.framingValid() ? QStringLiteral("Checksum Error")
                                                   : QStringLiteral("Invalid data in packet"));
        },
        {{CommandCodes::Response, [this](const QString &frame) { processResponseCode(frame); }}},
        {}, // other commands are not answers to an upload
    };
    m_cutter = std::make_unique<FrameCutter>(FrameCutter::Handlers{
        {}, {}, [routes = std::move(routes)](const QString &frame) { routes.route(frame); }});
    Reset();
}

cDakResponse::~cDakResponse() = default;

void cDakResponse::AddChar(const QString &sChar) {
    m_cutter->addChar(sChar);
}

void cDakResponse::AddData(const QByteArray &bytes) {
    m_cutter->addData(bytes);
}

void cDakResponse::Reset() {
    m_cutter->reset();
    m_acknowledged = false;
}

void cDakResponse::processResponseCode(const QString &frame) {
    const QStringView code = FrameLayout::responseCodeOf(frame);
    if (code == ResponseCodes::Accepted) {
        Reset();
        m_acknowledged = true;
        emit ResponseOK();
    } else if (code == ResponseCodes::ReceivedSuccessfully) {
        // A "07" is a positive answer once, and only after a "00" not yet consumed.
        if (m_acknowledged) {
            Reset();
            emit ResponseOK();
        }
    } else if (const QString error = ResponseCodes::errorText(code); !error.isNull()) {
        m_cutter->clear();
        m_rejectedCode = code.toString();
        emit PacketError(error);
    }
}

} // namespace Kavvix
