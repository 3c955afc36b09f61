// The C interface of the response receiver.
#include "Boundary.h"
#include "bindings/common/ByteFeed.h"

#include <kavvix/cDakResponse.h>

namespace Kavvix::CInterface {

namespace {

struct ResponseHandle {
    explicit ResponseHandle(const kavvix_response_events &events);

    cDakResponse response;
    Bindings::FeedQueue queue;
};

ResponseHandle::ResponseHandle(const kavvix_response_events &events) {
    QObject::connect(&response, &cDakResponse::ResponseOK, [events] {
        if (events.response_ok)
            events.response_ok(events.user);
    });
    QObject::connect(&response, &cDakResponse::PacketError, [this, events](const QString &s) {
        if (events.packet_error)
            events.packet_error(events.user, s.toUtf8().constData(),
                                response.rejectedCode().toUtf8().constData());
    });
}

HandleTable<ResponseHandle> &responses() {
    return HandleTable<ResponseHandle>::of("response receiver");
}

} // namespace

} // namespace Kavvix::CInterface

using namespace Kavvix::CInterface;

extern "C" {

kavvix_response *kavvix_response_open(const kavvix_response_events *events) {
    return guardedOpen<kavvix_response>([&] {
        return responses().add<kavvix_response>(
            std::make_shared<ResponseHandle>(events ? *events : kavvix_response_events{}));
    });
}

int kavvix_response_feed(kavvix_response *response, const void *bytes, size_t length) {
    return guarded([&] {
        const auto handle = responses().find(response);
        requireBytes(bytes, length);
        Kavvix::Bindings::feedBytes(handle->response, handle->queue,
                                    static_cast<const char *>(bytes), qsizetype(length));
        return KAVVIX_OK;
    });
}

int kavvix_response_reset(kavvix_response *response) {
    return guarded([&] {
        responses().find(response)->response.Reset();
        return KAVVIX_OK;
    });
}

int kavvix_response_close(kavvix_response *response) {
    return guarded([&] {
        responses().remove(response);
        return KAVVIX_OK;
    });
}

} // extern "C"
