/* What a C host may do wrong or unusually: feed a receiver from two threads, feed more from
 * inside a callback, and exit with a job still open. Each must end with a status or the
 * documented outcome, never a crash. */
#define _XOPEN_SOURCE 600 /* posix_openpt */

#include <kavvix/kavvix_c.h>

#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

static int failures;

#define CHECK(condition) check((condition), #condition, __LINE__)

static void check(int ok, const char *what, int line) {
    if (!ok) {
        ++failures;
        fprintf(stderr, "line %d: check failed: %s (%s)\n", line, what, kavvix_last_error());
    }
}

/* A judged dive of the timing console, frame and checksum included. */
static const char frame[] = "\x16"
                            "10000000\x01"
                            "305012A10030007 105B2.43M       6.5 7.0 7.0 6.5 7.5 7.0 6.5"
                            "            50.40150.40\x04"
                            "EC\x17";

struct feeder {
    kavvix_processor *processor;
    int dives, again, status;
};

/* Feeds the frame again from inside the callback, once per dive until `again` runs out. */
static void on_dive(void *user, const kavvix_dive_result *dive) {
    struct feeder *f = user;
    (void)dive;
    ++f->dives;
    if (f->again > 0) {
        --f->again;
        f->status = kavvix_processor_feed(f->processor, frame, sizeof frame - 1);
    }
}

static void *feed_from_another_thread(void *arg) {
    struct feeder *f = arg;
    f->status = kavvix_processor_feed(f->processor, frame, sizeof frame - 1);
    return NULL;
}

int main(void) {
    struct feeder f = {0};
    const kavvix_processor_events events = {NULL, NULL, on_dive, &f};
    f.processor = kavvix_processor_open(&events);

    /* Fed from inside the callback: queued, every dive reported. */
    f.again = 3;
    CHECK(kavvix_processor_feed(f.processor, frame, sizeof frame - 1) == KAVVIX_OK);
    CHECK(f.dives == 4 && f.status == KAVVIX_OK);

    /* Another thread gets a status; the owner goes on as before. */
    pthread_t thread;
    CHECK(pthread_create(&thread, NULL, feed_from_another_thread, &f) == 0);
    pthread_join(thread, NULL);
    CHECK(f.status == KAVVIX_ERROR_INVALID_ARGUMENT && f.dives == 4);
    CHECK(kavvix_processor_feed(f.processor, frame, sizeof frame - 1) == KAVVIX_OK && f.dives == 5);

    /* Left open at exit: the processor and a connection test waiting for an answer on a
     * pseudo-terminal that never gives one. */
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    CHECK(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
    CHECK(kavvix_connection_test_start(ptsname(terminal), NULL) != NULL);
    CHECK(kavvix_poll(100) == 1);
    printf("%s\n", failures == 0 ? "every check passed" : "some checks FAILED");
    return failures == 0 ? 0 : 1;
}
