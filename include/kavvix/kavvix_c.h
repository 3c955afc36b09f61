#ifndef KAVVIX_C_H
#define KAVVIX_C_H

/*
 * The library for hosts written in C (or any language that calls C): the two score-data
 * parsers, the two receivers of the timing console's frames, and the upload and connection
 * test jobs, behind opaque handles and plain C types. No Qt type and no C++ exception crosses
 * this interface.
 *
 * Text. Every text going in or out is UTF-8, NUL-terminated. Received bytes (what the serial
 * line delivers) go in as bytes with a length: one byte is one character of the line, so any
 * byte value, 0 to 255, is taken. Texts handed out (score set fields, dive result fields,
 * event texts) hold the line's characters as UTF-8, so a byte above 127 arrives as two bytes.
 *
 * Numbers. Scores, degrees of difficulty and totals are 32-bit floats inside the library; they
 * come out as the double nearest to the shortest decimal that reads back as that float, so a
 * degree of difficulty of 2.4 reads 2.4, not 2.4000000953674316.
 *
 * Failures. Every function that can fail returns a status (KAVVIX_OK, 0, or a negative
 * kavvix_status) or NULL, and kavvix_last_error() then tells why in one line. Passing NULL,
 * invalid UTF-8, a closed handle or a handle of another kind is such a failure, never a crash.
 * Handles are tokens, not addresses: a closed handle stays invalid for good, even after new
 * handles are opened.
 *
 * Threads. A handle belongs to the thread that opened it; handles of different threads are
 * independent. A call on a handle from another thread changes nothing and fails with
 * KAVVIX_ERROR_INVALID_ARGUMENT. kavvix_last_error() is per thread. Handles still open when
 * the process exits are let go with it (the system closes their devices and files).
 *
 * Events. Callbacks run synchronously, on the host's thread, inside the call that caused them:
 * kavvix_processor_feed, kavvix_response_feed, kavvix_*_start or kavvix_poll. A callback may
 * close the handle that called it; the handle is released once the call returns. A callback
 * may also feed more bytes to the receiver that called it: they are queued and taken in, in
 * order, after the bytes handed in before them, within the outer feed call. Text pointers
 * handed to a callback are valid until it returns.
 *
 * The event loop. Parsers and receivers need none. The upload and the connection test wait on
 * the serial port and a one-second timer, which the calling thread's Qt event loop serves:
 * the host drives it with kavvix_poll(), or, if it runs a Qt event loop of its own on that
 * thread, does nothing more. This keeps the library free of threads of its own, as the C++
 * interface is, so every callback arrives on the host's thread and no callback can race the
 * host's own code. A QCoreApplication is created when the first job starts unless the host
 * already has one (a Qt host creates its own first).
 */

#include <kavvix/export.h>

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum kavvix_status {
    KAVVIX_OK = 0,
    KAVVIX_ERROR_INVALID_ARGUMENT = -1, /* NULL where a value is needed, invalid UTF-8, ... */
    KAVVIX_ERROR_CLOSED_HANDLE = -2,    /* closed, never opened, or a handle of another kind */
    KAVVIX_ERROR_PARSE = -3,            /* the parser returned a message for the host */
    KAVVIX_ERROR_UNAVAILABLE = -4,      /* the database, the meet or the device cannot be used */
    KAVVIX_ERROR_INTERNAL = -5          /* anything else the library failed at */
} kavvix_status;

/* Why the last failed call on this thread failed, as one line of UTF-8; "" after a success.
 * Valid until the next call on this thread. */
KAVVIX_EXPORT const char *kavvix_last_error(void);

/* The library's version, "1.6.0.0", as its CMake package, pkg-config, the kavvix tool and
 * the Python module give it. */
KAVVIX_EXPORT const char *kavvix_version(void);

/* ---- Score-data parsers ------------------------------------------------------------------ */

typedef struct kavvix_colorado kavvix_colorado;
typedef struct kavvix_daktronics kavvix_daktronics;

/* A parser's score set after a parse. The texts belong to the parser handle and are valid
 * until its next parse or close. */
typedef struct kavvix_score_set {
    int DataIsValid;
    const char *PrimaryDiver;
    const char *SynchroPartner;
    int DiverNumber;
    int CurrentRound;
    const char *DiveNumber; /* the Daktronics parser appends the position letter */
    const char *DivePosition;
    double DiveDD;
    double JudgeScore[10]; /* JudgeScore[0] is Judge1Score */
    double DiveTotal;
    double StartingScore;
    double CurrentTotal;
} kavvix_score_set;

/* Colorado judging console text. Each parse stands alone. */
KAVVIX_EXPORT kavvix_colorado *kavvix_colorado_open(void);
/* Parses the text and fills *out (when out is not NULL). KAVVIX_OK when a record was stored or
 * the text holds none (DataIsValid tells which); KAVVIX_ERROR_PARSE when the parser has a
 * message for the host, which kavvix_last_error() returns, and *out is still filled. */
KAVVIX_EXPORT int kavvix_colorado_parse(kavvix_colorado *parser, const char *text,
                                        kavvix_score_set *out);
/* Closing NULL does nothing; closing twice is KAVVIX_ERROR_CLOSED_HANDLE. */
KAVVIX_EXPORT int kavvix_colorado_close(kavvix_colorado *parser);

/* Daktronics score-data packets. Fields accumulate over parses until
 * kavvix_daktronics_initialize. */
KAVVIX_EXPORT kavvix_daktronics *kavvix_daktronics_open(void);
/* As kavvix_colorado_parse; *out is the accumulated score set. */
KAVVIX_EXPORT int kavvix_daktronics_parse(kavvix_daktronics *parser, const char *text,
                                          kavvix_score_set *out);
/* 1 when the text is a score-data packet, 0 when not, a negative status on failure. */
KAVVIX_EXPORT int kavvix_daktronics_contains_valid_command(kavvix_daktronics *parser,
                                                           const char *text);
/* 1 when round, diver, dive, position, DD and the required judges are known; 0 when not. */
KAVVIX_EXPORT int kavvix_daktronics_data_is_complete(kavvix_daktronics *parser);
/* 0 means no number of judges is required (the default). */
KAVVIX_EXPORT int kavvix_daktronics_set_judges_required(kavvix_daktronics *parser, int judges);
/* Back to an empty score set; the number of judges required is kept. */
KAVVIX_EXPORT int kavvix_daktronics_initialize(kavvix_daktronics *parser);
KAVVIX_EXPORT int kavvix_daktronics_close(kavvix_daktronics *parser);

/* ---- Receivers of the timing console's frames ------------------------------------------ */

typedef struct kavvix_processor kavvix_processor;
typedef struct kavvix_response kavvix_response;

/* One judged dive ("305" frame). Texts are the characters as the console sent them. */
typedef struct kavvix_dive_result {
    int EventNumberN;
    const char *EventNumberA;
    const char *Stage;
    const char *InsertOrder;
    int DiveRound;
    int DivingOrder;
    const char *DiveNumber;
    const char *DivePos;
    double DiveDD;
    double JScore[9]; /* JScore[0] is J1Score */
    const char *BALKflag;
    const char *FAILflag;
    double DiveTotal;
    double TotalScore;
    const char *BoardLevel;
} kavvix_dive_result;

/* The receive processor's events; any callback may be NULL. */
typedef struct kavvix_processor_events {
    void (*software_version)(void *user, const char *version);
    void (*comm_error)(void *user, const char *message);
    void (*dive_result)(void *user, const kavvix_dive_result *result);
    void *user;
} kavvix_processor_events;

/* events is copied; NULL means no callbacks. */
KAVVIX_EXPORT kavvix_processor *kavvix_processor_open(const kavvix_processor_events *events);
/* Takes received bytes in arrival order, any number at a time; events are raised from inside.
 * bytes may be NULL only when length is 0. */
KAVVIX_EXPORT int kavvix_processor_feed(kavvix_processor *processor, const void *bytes,
                                        size_t length);
/* The software version request frame, 17 bytes without a NUL byte, NUL-terminated. */
KAVVIX_EXPORT const char *kavvix_version_request(void);
KAVVIX_EXPORT int kavvix_processor_close(kavvix_processor *processor);
/* A frame that failed its checks and was dropped: check names the first check it failed ("SYN",
 * "ETB", "header digit", "zero field", "SOH", "EOT", "checksum"); frame is the frame as
 * received, SYN to ETB, length bytes. Called with the user pointer of the processor's events;
 * NULL removes it. (A function of its own, so kavvix_processor_events keeps its layout.) */
typedef void (*kavvix_frame_rejected_fn)(void *user, const char *check, const void *frame,
                                         size_t length);
KAVVIX_EXPORT int kavvix_processor_on_frame_rejected(kavvix_processor *processor,
                                                     kavvix_frame_rejected_fn callback);

/* The response receiver's events; any callback may be NULL. response_code is the console's
 * code ("02") when it refused a frame, "" when the answer itself was damaged. */
typedef struct kavvix_response_events {
    void (*response_ok)(void *user);
    void (*packet_error)(void *user, const char *message, const char *response_code);
    void *user;
} kavvix_response_events;

KAVVIX_EXPORT kavvix_response *kavvix_response_open(const kavvix_response_events *events);
KAVVIX_EXPORT int kavvix_response_feed(kavvix_response *response, const void *bytes, size_t length);
/* Forgets what was received and a pending acknowledgement. */
KAVVIX_EXPORT int kavvix_response_reset(kavvix_response *response);
KAVVIX_EXPORT int kavvix_response_close(kavvix_response *response);

/* ---- Upload and connection test ------------------------------------------------------- */

typedef struct kavvix_job kavvix_job;

/* How a job ended. kind is one of "sent", "connected", "rejected", "no-answer",
 * "port-unavailable", "line-lost", "validation-failed", "aborted", "failed". */
typedef struct kavvix_job_result {
    const char *kind;
    int succeeded;             /* 1 for "sent" and "connected" */
    const char *response_code; /* the console's code when it refused a frame, else "" */
    const char *detail;        /* version text, the receiver's error text, or why it failed */
} kavvix_job_result;

/* message gets each operator message line ("Sending packet 1", ...), without the time of
 * day; finished is called once, last. Either may be NULL. */
typedef struct kavvix_job_events {
    void (*message)(void *user, const char *line);
    void (*finished)(void *user, const kavvix_job_result *result);
    void *user;
} kavvix_job_events;

/* Starts uploading one event of a meet to the console on device (a path such as /dev/ttyUSB0).
 * database is an SQLite file or a postgresql:// URL; order is the console's dive order "A" to
 * "D" (NULL means "A"). The device is reached as port number 1: KAVVIX_COM1 is set to it for
 * this process. The job may finish before this returns (an event that fails its checks).
 * NULL when the arguments are wrong, the database cannot be opened or lacks the meet. */
KAVVIX_EXPORT kavvix_job *kavvix_upload_start(const char *database, const char *meet_id,
                                              const char *event_id, const char *order,
                                              const char *device, const kavvix_job_events *events);
/* Starts the connection test: the version request, then about six seconds of waiting. */
KAVVIX_EXPORT kavvix_job *kavvix_connection_test_start(const char *device,
                                                       const kavvix_job_events *events);

/* Runs this thread's event loop until a job of this thread finishes or timeout_ms (at least 0)
 * pass; job callbacks run inside. Returns the number of this thread's jobs still running. */
KAVVIX_EXPORT int kavvix_poll(int timeout_ms);
/* 1 when finished (then *out, if not NULL, is filled; its texts live as long as the handle), 0
 * while running, a negative status on failure. */
KAVVIX_EXPORT int kavvix_job_result_get(kavvix_job *job, kavvix_job_result *out);
/* An upload's progress: frame number sent has been written, of total frames to send. Called
 * with the user pointer of the job's events, at once with the progress so far (when a frame has
 * been written already: the first is written inside kavvix_upload_start), then for each frame.
 * A connection test never calls it. NULL removes it. */
typedef void (*kavvix_progress_fn)(void *user, int sent, int total);
KAVVIX_EXPORT int kavvix_job_on_progress(kavvix_job *job, kavvix_progress_fn callback);
/* Ends a running job at once (port closed, result "aborted"); a finished one stays as it is. */
KAVVIX_EXPORT int kavvix_job_cancel(kavvix_job *job);
/* Cancels the job if it runs, and releases it. */
KAVVIX_EXPORT int kavvix_job_close(kavvix_job *job);

#ifdef __cplusplus
}
#endif

#endif /* KAVVIX_C_H */
