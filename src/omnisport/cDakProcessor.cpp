#include <kavvix/cDakProcessor.h>

#include "DiveResultFrame.h"
#include "FrameCutter.h"
#include "FrameVerification.h"
#include "ResponseCodes.h"
#include "common/NumericText.h"
#include "common/TextPosition.h"

#include <kavvix/modKavvix.h>

#include <QPointer>

#include <exception>

namespace Kavvix {

namespace {

const QString IncorrectFormat = QStringLiteral("Incorrect data format received");

constexpr qsizetype VersionFrameLength = 57;

// The text with leading and trailing blanks (spaces, tabs, line feeds) removed.
QStringView trimBlanks(QStringView text) {
    while (!text.isEmpty() && NumericText::isBlank(text.front().unicode()))
        text = text.mid(1);
    while (!text.isEmpty() && NumericText::isBlank(text.back().unicode()))
        text.chop(1);
    return text;
}

QString withData(const char *label, const QString &frame) {
    return QLatin1String(label) + frame + QLatin1Char(':');
}

} // namespace

cDakProcessor::cDakProcessor(QObject *parent) : QObject(parent), m_oUtil(createUtility()) {
    m_oCutter = std::make_unique<FrameCutter>(FrameCutter::Handlers{
        [this](qint16 position) {
            if (modKavvix::DebugEnabled())
                writeLog(2, QStringLiteral("AddChar"),
                         QStringLiteral("Found SYN at ") + QString::number(position));
        },
        [this](qint16 position) {
            if (modKavvix::DebugEnabled())
                writeLog(3, QStringLiteral("AddChar"),
                         QStringLiteral("Found ETB at ") + QString::number(position));
        },
        [this](const QString &frame) { ProcessPacket(frame); },
    });
}

cDakProcessor::~cDakProcessor() = default;

void cDakProcessor::AddChar(const QString &sChar) {
    m_oCutter->addChar(sChar);
}

QString cDakProcessor::SoftwareVersionRequest() const {
    return modKavvix::BuildFrame(QStringLiteral("200"), QString());
}

void cDakProcessor::writeLog(qint32 number, const QString &procedure, const QString &message) {
    m_oUtil->WriteLog(number, procedure, message, 0);
}

void cDakProcessor::ProcessPacket(const QString &frame) {
    if (VerifyDataStream(frame))
        ProcessCommandLayer(frame);
}

bool cDakProcessor::VerifyDataStream(const QString &frame) {
    const FrameVerification v = FrameVerification::of(frame);
    if (v.valid() || !modKavvix::DebugEnabled())
        return v.valid();
    const QString procedure = QStringLiteral("VerifyDataStream");
    const struct {
        bool failed;
        qint32 number;
        const char *label;
    } checks[] = {
        {v.synMissing, 4, "SYN not found, Data:"},
        {v.etbMissing, 5, "ETB not found, Data:"},
        {v.digitInvalid, 6, "(2,1) not numeric, Data:"},
        {v.zeroFieldInvalid, 7, "(3,7) invalid, Data:"},
        {v.sohMissing, 8, "(10,1) <> SOH, Data:"},
        {v.eotMissing, 9, "first of last 4 <> EOT, Data:"},
    };
    for (const auto &check : checks)
        if (check.failed)
            writeLog(check.number, procedure, withData(check.label, frame));
    if (v.checksumMismatch)
        writeLog(10, procedure,
                 QLatin1Char(':') + v.computedChecksum + QStringLiteral(": <> :") +
                     v.receivedChecksum + withData(":, Data:", frame));
    return false;
}

void cDakProcessor::ProcessCommandLayer(const QString &frame) {
    const QStringView command = textAt(frame, 11, 3);
    if (command == u"100")
        GetVersionInformation(frame);
    else if (command == u"900")
        ProcessResponseCode(frame);
    else if (command == u"305")
        ProcessDiveResult(frame);
    else if (modKavvix::DebugEnabled())
        writeLog(11, QStringLiteral("ProcessCommandLayer"),
                 withData("unknown command (11,3), data:", frame));
}

void cDakProcessor::GetVersionInformation(const QString &frame) {
    if (frame.size() == VersionFrameLength) {
        emit SoftwareVersion(trimBlanks(textAt(frame, 14, 40)).toString());
        return;
    }
    if (modKavvix::DebugEnabled())
        writeLog(12, QStringLiteral("GetVersionInformation"),
                 withData("invalid length, data:", frame));
    emit COMMError(IncorrectFormat);
}

void cDakProcessor::ProcessResponseCode(const QString &frame) {
    const QStringView code = textAt(frame, 14, 2);
    if (code == ResponseCodes::Accepted || code == ResponseCodes::ReceivedSuccessfully)
        return;
    const QString error = ResponseCodes::errorText(code);
    if (!error.isNull()) {
        m_oCutter->clear();
        emit COMMError(error);
    } else if (modKavvix::DebugEnabled()) {
        writeLog(13, QStringLiteral("ProcessResponseCode"), withData("(14,2), data:", frame));
    }
}

void cDakProcessor::ProcessDiveResult(const QString &frame) {
    if (frame.size() != DiveResultFrame::Length) {
        m_oCutter->clear();
        emit COMMError(IncorrectFormat);
        return;
    }
    qint32 step = 30;
    try {
        auto oRslt = std::make_unique<cDiveResult>();
        DiveResultFrame::decode(frame, *oRslt, step);
        step = 290;
        raiseDiveResult(std::move(oRslt));
        return;
    } catch (const std::exception &) {
        // The record is discarded (unless a handler kept it before failing).
    }
    emit COMMError(QStringLiteral("Incorrect dive result received (") + QString::number(step) +
                   QLatin1Char(')'));
}

void cDakProcessor::raiseDiveResult(std::unique_ptr<cDiveResult> oRslt) {
    // After the handlers (or a failure in one): keep what a handler kept or deleted itself.
    struct HandOver {
        QPointer<cDiveResult> record;
        ~HandOver() {
            if (record && !record->parent())
                delete record.data();
        }
    } handOver{oRslt.release()};
    emit DiveResult(handOver.record.data());
}

} // namespace Kavvix
