// The C interface of the receive processor.
#include "Boundary.h"
#include "bindings/common/ByteFeed.h"
#include "bindings/common/HostValues.h"

#include <kavvix/cDakProcessor.h>

#include <string>

namespace Kavvix::CInterface {

namespace {

struct ProcessorHandle {
    explicit ProcessorHandle(const kavvix_processor_events &events);

    cDakProcessor processor;
    kavvix_frame_rejected_fn frameRejected = nullptr;
    Bindings::FeedQueue queue;
};

ProcessorHandle::ProcessorHandle(const kavvix_processor_events &events) {
    QObject::connect(&processor, &cDakProcessor::FrameRejected,
                     [this, events](const QString &check, const QString &frame) {
                         if (!frameRejected)
                             return;
                         const QByteArray bytes = frame.toLatin1();
                         frameRejected(events.user, check.toUtf8().constData(), bytes.constData(),
                                       size_t(bytes.size()));
                     });
    QObject::connect(&processor, &cDakProcessor::SoftwareVersion, [events](const QString &s) {
        if (events.software_version)
            events.software_version(events.user, s.toUtf8().constData());
    });
    QObject::connect(&processor, &cDakProcessor::COMMError, [events](const QString &s) {
        if (events.comm_error)
            events.comm_error(events.user, s.toUtf8().constData());
    });
    QObject::connect(&processor, &cDakProcessor::DiveResult, [events](cDiveResult *dive) {
        if (!events.dive_result)
            return;
        const Bindings::DiveResultValues v = Bindings::readDiveResult(*dive);
        kavvix_dive_result result{v.EventNumberN,
                                  v.EventNumberA.c_str(),
                                  v.Stage.c_str(),
                                  v.InsertOrder.c_str(),
                                  v.DiveRound,
                                  v.DivingOrder,
                                  v.DiveNumber.c_str(),
                                  v.DivePos.c_str(),
                                  v.DiveDD,
                                  {},
                                  v.BALKflag.c_str(),
                                  v.FAILflag.c_str(),
                                  v.DiveTotal,
                                  v.TotalScore,
                                  v.BoardLevel.c_str()};
        for (std::size_t i = 0; i < v.JScores.size(); ++i)
            result.JScore[i] = v.JScores[i];
        events.dive_result(events.user, &result);
    });
}

HandleTable<ProcessorHandle> &processors() {
    return HandleTable<ProcessorHandle>::of("receive processor");
}

} // namespace

} // namespace Kavvix::CInterface

using namespace Kavvix::CInterface;

extern "C" {

kavvix_processor *kavvix_processor_open(const kavvix_processor_events *events) {
    return guardedOpen<kavvix_processor>([&] {
        return processors().add<kavvix_processor>(
            std::make_shared<ProcessorHandle>(events ? *events : kavvix_processor_events{}));
    });
}

int kavvix_processor_feed(kavvix_processor *processor, const void *bytes, size_t length) {
    return guarded([&] {
        const auto handle = processors().find(processor);
        requireBytes(bytes, length);
        Kavvix::Bindings::feedBytes(handle->processor, handle->queue,
                                    static_cast<const char *>(bytes), qsizetype(length));
        return KAVVIX_OK;
    });
}

const char *kavvix_version_request(void) {
    static const std::string frame =
        Kavvix::cDakProcessor().SoftwareVersionRequest().toLatin1().toStdString();
    return frame.c_str();
}

int kavvix_processor_on_frame_rejected(kavvix_processor *processor,
                                       kavvix_frame_rejected_fn callback) {
    return guarded([&] {
        processors().find(processor)->frameRejected = callback;
        return KAVVIX_OK;
    });
}

int kavvix_processor_close(kavvix_processor *processor) {
    return guarded([&] {
        processors().remove(processor);
        return KAVVIX_OK;
    });
}

} // extern "C"
