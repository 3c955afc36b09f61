#include <kavvix/cDakProcessor.h>

#include "CommandCodes.h"
#include "DiveResultFrame.h"
#include "FrameCutter.h"
#include "FrameLayout.h"
#include "FrameRoutes.h"
#include "ResponseCodes.h"
#include "common/NumericText.h"

#include <kavvix/modKavvix.h>

#include <QPointer>

#include <exception>

namespace Kavvix {

namespace {

const QString IncorrectFormat = QStringLiteral("Incorrect data format received");

constexpr qsizetype VersionFrameLength = FrameLayout::Overhead + FrameLayout::VersionTextWidth;

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

// The first check a frame failed, as FrameRejected names it.
QString firstFailedCheck(const FrameVerification &v) {
    const struct {
        bool failed;
        const char *name;
    } checks[] = {
        {v.synMissing, "SYN"},
        {v.etbMissing, "ETB"},
        {v.digitInvalid, "header digit"},
        {v.zeroFieldInvalid, "zero field"},
        {v.sohMissing, "SOH"},
        {v.eotMissing, "EOT"},
        {v.checksumMismatch, "checksum"},
    };
    for (const auto &check : checks)
        if (check.failed)
            return QLatin1String(check.name);
    return {};
}

} // namespace

cDakProcessor::cDakProcessor(QObject *parent) : QObject(parent), m_utility(createUtility()) {
    FrameRoutes routes{
        [this](const QString &frame, const FrameVerification &checks) {
            logFailedChecks(frame, checks);
            emit FrameRejected(firstFailedCheck(checks), frame);
        },
        {
            {CommandCodes::VersionReply,
             [this](const QString &frame) { getVersionInformation(frame); }},
            {CommandCodes::Response, [this](const QString &frame) { processResponseCode(frame); }},
            {CommandCodes::DiveResult, [this](const QString &frame) { processDiveResult(frame); }},
        },
        [this](const QString &frame) { logUnknownCommand(frame); },
    };
    m_cutter = std::make_unique<FrameCutter>(FrameCutter::Handlers{
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
        [routes = std::move(routes)](const QString &frame) { routes.route(frame); },
    });
}

cDakProcessor::~cDakProcessor() {
    for (const QPointer<cDiveResult> &kept : m_results)
        if (kept && !kept->parent())
            delete kept.data();
}

void cDakProcessor::AddChar(const QString &sChar) {
    m_cutter->addChar(sChar);
}

void cDakProcessor::AddData(const QByteArray &bytes) {
    m_cutter->addData(bytes);
}

QString cDakProcessor::currentFrame() const {
    return m_cutter->currentFrame();
}

QString cDakProcessor::SoftwareVersionRequest() const {
    return modKavvix::BuildFrame(CommandCodes::VersionRequest.toString(), QString());
}

void cDakProcessor::writeLog(qint32 number, const QString &procedure, const QString &message) {
    m_utility->WriteLog(number, procedure, message, 0);
}

void cDakProcessor::logFailedChecks(const QString &frame, const FrameVerification &v) {
    if (!modKavvix::DebugEnabled())
        return;
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
}

void cDakProcessor::logUnknownCommand(const QString &frame) {
    if (modKavvix::DebugEnabled())
        writeLog(11, QStringLiteral("ProcessCommandLayer"),
                 withData("unknown command (11,3), data:", frame));
}

void cDakProcessor::getVersionInformation(const QString &frame) {
    if (frame.size() == VersionFrameLength) {
        emit SoftwareVersion(
            trimBlanks(textAt(frame, FrameLayout::DataPosition, FrameLayout::VersionTextWidth))
                .toString());
        return;
    }
    if (modKavvix::DebugEnabled())
        writeLog(12, QStringLiteral("GetVersionInformation"),
                 withData("invalid length, data:", frame));
    emit COMMError(IncorrectFormat);
}

void cDakProcessor::processResponseCode(const QString &frame) {
    const QStringView code = FrameLayout::responseCodeOf(frame);
    if (code == ResponseCodes::Accepted || code == ResponseCodes::ReceivedSuccessfully)
        return;
    const QString error = ResponseCodes::errorText(code);
    if (!error.isNull()) {
        m_cutter->clear();
        emit COMMError(error);
    } else if (modKavvix::DebugEnabled()) {
        writeLog(13, QStringLiteral("ProcessResponseCode"), withData("(14,2), data:", frame));
    }
}

void cDakProcessor::processDiveResult(const QString &frame) {
    if (frame.size() != DiveResultFrame::Length) {
        m_cutter->clear();
        emit COMMError(IncorrectFormat);
        return;
    }
    qint32 step = 30;
    try {
        auto record = std::make_unique<cDiveResult>();
        DiveResultFrame::decode(frame, *record, step);
        step = 290;
        raiseDiveResult(std::move(record));
        return;
    } catch (const std::exception &) {
        // The record is discarded (unless a handler kept it before failing).
    }
    emit COMMError(QStringLiteral("Incorrect dive result received (") + QString::number(step) +
                   QLatin1Char(')'));
}

void cDakProcessor::raiseDiveResult(std::unique_ptr<cDiveResult> record) {
    // The oldest record goes once there are too many; one a host took or deleted meanwhile is
    // only forgotten.
    while (m_results.size() >= std::size_t(KeptResults)) {
        if (cDiveResult *oldest = m_results.front(); oldest && !oldest->parent())
            delete oldest;
        m_results.pop_front();
    }
    m_results.emplace_back(record.get());
    emit DiveResult(record.release());
}

} // namespace Kavvix
