#pragma once

#include <kavvix/ValidationProblem.h>
#include <kavvix/export.h>

#include <QList>
#include <QMetaType>
#include <QString>

namespace Kavvix {

// How an upload or a connection test ended. Decided by the job from what happened, never
// from the text of a message line.
struct KAVVIX_EXPORT JobResult {
    enum class Kind {
        Sent,             // every frame of the upload was acknowledged
        Connected,        // the console answered the test with its software version
        Rejected,         // the console refused a frame, or its answer could not be used
        NoAnswer,         // the console stayed silent for the whole wait
        PortUnavailable,  // the port could not be selected, opened or written to
        LineLost,         // the serial device went away while the job ran
        ValidationFailed, // the event failed its checks, or had nothing to send
        Aborted,          // cancelled
        Failed,           // any other failure (database, log writer, ...)
    };

    JobResult() = default;
    JobResult(Kind kind, QString responseCode = {}, QString detail = {},
              QList<ValidationProblem> validation = {})
        : kind(kind), responseCode(std::move(responseCode)), detail(std::move(detail)),
          validation(std::move(validation)) {}

    Kind kind = Kind::Aborted;
    // The console's response code when it refused a frame with one ("02"); empty otherwise.
    QString responseCode;
    // The version text (Connected), the receiver's error text (Rejected) or the description of
    // the failure; empty when there is nothing more to say. For ValidationFailed, the fatal
    // problems described with the dives at fault (ValidationProblem::describe).
    QString detail;
    // ValidationFailed after the checks: each problem the checks found, warnings included.
    QList<ValidationProblem> validation;

    bool succeeded() const { return kind == Kind::Sent || kind == Kind::Connected; }
    // A stable lower-case name: "sent", "connected", "rejected", "no-answer",
    // "port-unavailable", "line-lost", "validation-failed", "aborted", "failed".
    static QString name(Kind kind);
    QString name() const { return name(kind); }
};

} // namespace Kavvix

Q_DECLARE_METATYPE(Kavvix::JobResult)
