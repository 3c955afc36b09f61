#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <utility>

namespace Kavvix::Bindings {

// The bytes a host hands one receiver while that receiver is taking in earlier ones: a handler
// may feed more, and those bytes follow the ones already handed in, in order, never dropped.
struct FeedQueue {
    QByteArray waiting;
    bool feeding = false;
};

// Hands received bytes to a receiver (cDakProcessor or cDakResponse) in arrival order, one
// byte one character, as the serial port does. Every binding feeds a receiver through here.
// Called again from one of the receiver's handlers, it queues the bytes, and the outer call
// feeds them once the receiver is done with what it was given before.
template <class Receiver>
void feedBytes(Receiver &receiver, FeedQueue &queue, const char *bytes, qsizetype size) {
    queue.waiting.append(bytes, size);
    if (queue.feeding)
        return;
    struct Feeding {
        FeedQueue &queue;
        explicit Feeding(FeedQueue &q) : queue(q) { queue.feeding = true; }
        ~Feeding() { queue.feeding = false; }
    } feeding(queue);
    while (!queue.waiting.isEmpty())
        receiver.AddData(std::exchange(queue.waiting, {}));
}

} // namespace Kavvix::Bindings
