/*
 * A host program in plain C: it parses judging console text, follows the timing console's
 * frames and, given a meet database and a serial device, tests the connection and uploads an
 * event, checking every answer on the way.
 *
 *   kavvix_host CAPTURE [DATABASE DEVICE]
 *
 * CAPTURE is a recording of a console's serial output; DATABASE a meet database holding the
 * meet RIV26 and its event E12; DEVICE the console's serial line, here a console simulator
 * that refuses the sixth frame it receives with response code 02. Exits 0 when every check
 * passed.
 */
#include <kavvix/kavvix_c.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures;

#define CHECK(condition) check((condition), #condition, __LINE__)

static void check(int ok, const char *what, int line) {
    if (!ok) {
        fprintf(stderr, "kavvix_host.c:%d: check failed: %s (last error: \"%s\")\n", line, what,
                kavvix_last_error());
        ++failures;
    }
}

static int same(const char *a, const char *b) {
    return a != NULL && b != NULL && strcmp(a, b) == 0;
}

/* A frame as the timing console sends it: SYN, header digit, zero field, SOH, command code,
 * data, EOT, the two hex digits of the byte sum of everything after SYN, ETB. */
static size_t console_frame(char *out, const char *command, const char *data) {
    unsigned sum = 0;
    size_t n = (size_t)sprintf(out,
                               "\x16"
                               "10000000\x01%s%s\x04",
                               command, data);
    for (size_t i = 1; i < n; ++i)
        sum += (unsigned char)out[i];
    n += (size_t)sprintf(out + n, "%02X\x17", sum % 256);
    return n;
}

static void colorado_record(void) {
    kavvix_colorado *parser = kavvix_colorado_open();
    kavvix_score_set s;
    CHECK(kavvix_colorado_parse(parser,
                                "\x02xDiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,"
                                "55.2,100.5,155.7y\x04",
                                &s) == KAVVIX_OK);
    CHECK(s.DataIsValid && same(s.PrimaryDiver, "DiverA") && same(s.SynchroPartner, "DiverB"));
    CHECK(s.DiverNumber == 12 && s.CurrentRound == 3 && same(s.DiveNumber, "105B"));
    CHECK(s.DiveDD == 2.4 && s.JudgeScore[0] == 7.5 && s.JudgeScore[4] == 8 &&
          s.JudgeScore[9] == 0);
    CHECK(s.DiveTotal == 55.2 && s.StartingScore == 100.5 && s.CurrentTotal == 155.7);

    /* A message from the parser is a failure with the message as the error text. */
    CHECK(kavvix_colorado_parse(parser, "\x02x1,2,3y\x04", &s) == KAVVIX_ERROR_PARSE);
    CHECK(strstr(kavvix_last_error(), "Only 3 items of data") != NULL && !s.DataIsValid);

    /* Text beyond ASCII goes in and comes out as UTF-8. */
    CHECK(kavvix_colorado_parse(parser,
                                "\x02xZo\xc3\xab,1,1,101[A],1.2,1,1,1,1,1,0,0,0,0,0,"
                                "6,0,6y\x04",
                                &s) == KAVVIX_OK);
    CHECK(same(s.PrimaryDiver, "Zo\xc3\xab"));
    CHECK(kavvix_colorado_close(parser) == KAVVIX_OK);
}

static void daktronics_packets(const char *capture, size_t length) {
    kavvix_daktronics *parser = kavvix_daktronics_open();
    kavvix_score_set s;
    /* Three judges' fields at record offset 81, each four characters wide. */
    const char *judges = "\x01"
                         "00421"
                         "00081\x02"
                         "7.5 8.0 7.0 \x04";
    CHECK(kavvix_daktronics_contains_valid_command(parser, judges) == 1);
    CHECK(kavvix_daktronics_parse(parser, judges, &s) == KAVVIX_OK);
    CHECK(s.JudgeScore[0] == 7.5 && s.JudgeScore[1] == 8 && s.JudgeScore[2] == 7);
    CHECK(kavvix_daktronics_data_is_complete(parser) == 0);
    CHECK(kavvix_daktronics_initialize(parser) == KAVVIX_OK);

    /* Every frame of the real capture, cut at SYN and ETB. */
    int frames = 0, scoreFrames = 0;
    char frame[1024];
    for (size_t start = 0; start < length; ++start) {
        if (capture[start] != 0x16)
            continue;
        const char *etb = memchr(capture + start, 0x17, length - start);
        const size_t size = (size_t)(etb - (capture + start)) + 1;
        if (etb == NULL || size >= sizeof frame)
            break;
        memcpy(frame, capture + start, size);
        frame[size] = '\0';
        ++frames;
        scoreFrames += kavvix_daktronics_contains_valid_command(parser, frame);
        CHECK(kavvix_daktronics_parse(parser, frame, &s) == KAVVIX_OK);
    }
    CHECK(frames == 247 && scoreFrames == 246);
    CHECK(kavvix_daktronics_close(parser) == KAVVIX_OK);
}

struct processor_events {
    int versions, errors, dives;
    char last[128];
    kavvix_dive_result dive; /* its texts are copied into the strings below */
    char diveNumber[8], boardLevel[16];
};

static void on_version(void *user, const char *version) {
    struct processor_events *e = user;
    ++e->versions;
    snprintf(e->last, sizeof e->last, "%s", version);
}

static void on_comm_error(void *user, const char *message) {
    struct processor_events *e = user;
    ++e->errors;
    snprintf(e->last, sizeof e->last, "%s", message);
}

static void on_dive(void *user, const kavvix_dive_result *dive) {
    struct processor_events *e = user;
    ++e->dives;
    e->dive = *dive;
    snprintf(e->diveNumber, sizeof e->diveNumber, "%s", dive->DiveNumber);
    snprintf(e->boardLevel, sizeof e->boardLevel, "%s", dive->BoardLevel);
}

static void receive_processor(const char *capture, size_t length) {
    struct processor_events e = {0};
    const kavvix_processor_events events = {on_version, on_comm_error, on_dive, &e};
    kavvix_processor *processor = kavvix_processor_open(&events);

    /* The capture's frames are not the timing console's: nothing to report. */
    CHECK(kavvix_processor_feed(processor, capture, length) == KAVVIX_OK);
    CHECK(e.versions == 0 && e.errors == 0 && e.dives == 0);

    /* A judged dive, fed in two pieces. */
    char frame[128];
    const size_t size = console_frame(frame, "305",
                                      "012A10030007 105B2.43M       6.5 7.0 7.0 6.5 7.5 "
                                      "7.0 6.5            50.40150.40");
    CHECK(size == 96);
    CHECK(kavvix_processor_feed(processor, frame, 40) == KAVVIX_OK && e.dives == 0);
    CHECK(kavvix_processor_feed(processor, frame + 40, size - 40) == KAVVIX_OK && e.dives == 1);
    CHECK(e.dive.EventNumberN == 12 && e.dive.DiveRound == 3 && e.dive.DivingOrder == 7);
    CHECK(same(e.diveNumber, " 105") && same(e.boardLevel, "3M       "));
    CHECK(e.dive.DiveDD == 2.4 && e.dive.JScore[4] == 7.5 && e.dive.JScore[8] == 0);
    CHECK(e.dive.DiveTotal == 50.4 && e.dive.TotalScore == 150.4);

    /* The console's version reply, and an error code. */
    console_frame(frame, "100", "OmniSport 2000 Ver 3.12                 ");
    CHECK(kavvix_processor_feed(processor, frame, strlen(frame)) == KAVVIX_OK);
    CHECK(e.versions == 1 && same(e.last, "OmniSport 2000 Ver 3.12"));
    console_frame(frame, "900", "01");
    CHECK(kavvix_processor_feed(processor, frame, strlen(frame)) == KAVVIX_OK);
    CHECK(e.errors == 1 && same(e.last, "Buffer Overrun"));
    CHECK(kavvix_processor_close(processor) == KAVVIX_OK);
    CHECK(strlen(kavvix_version_request()) == 17);
}

struct response_events {
    int ok, errors;
    char message[64], code[4];
};

static void on_ok(void *user) {
    ++((struct response_events *)user)->ok;
}

static void on_packet_error(void *user, const char *message, const char *code) {
    struct response_events *e = user;
    ++e->errors;
    snprintf(e->message, sizeof e->message, "%s", message);
    snprintf(e->code, sizeof e->code, "%s", code);
}

static void response_receiver(void) {
    struct response_events e = {0};
    const kavvix_response_events events = {on_ok, on_packet_error, &e};
    kavvix_response *response = kavvix_response_open(&events);
    char frame[64];
    console_frame(frame, "900", "06");
    CHECK(kavvix_response_feed(response, frame, strlen(frame)) == KAVVIX_OK);
    CHECK(e.errors == 1 && same(e.message, "Not ready to Receive Data") && same(e.code, "06"));
    console_frame(frame, "900", "00");
    CHECK(kavvix_response_feed(response, frame, strlen(frame)) == KAVVIX_OK && e.ok == 1);
    CHECK(kavvix_response_close(response) == KAVVIX_OK);
}

struct rejected {
    int count;
    char check[32];
    size_t length;
};

static void on_rejected(void *user, const char *check, const void *frame, size_t length) {
    struct rejected *r = user;
    (void)frame;
    ++r->count;
    snprintf(r->check, sizeof r->check, "%s", check);
    r->length = length;
}

static void on_error_close(void *user, const char *message) {
    (void)message;
    CHECK(kavvix_processor_close(*(kavvix_processor **)user) == KAVVIX_OK);
}

/* Wrong use of the interface is a status and a reason, never a crash. */
static void bad_input(void) {
    kavvix_score_set s;
    CHECK(kavvix_colorado_parse(NULL, "x", &s) == KAVVIX_ERROR_INVALID_ARGUMENT);
    CHECK(strstr(kavvix_last_error(), "NULL") != NULL);

    kavvix_colorado *colorado = kavvix_colorado_open();
    CHECK(kavvix_colorado_parse(colorado, NULL, &s) == KAVVIX_ERROR_INVALID_ARGUMENT);
    CHECK(kavvix_colorado_parse(colorado, "\x02x\xff\xfe,1y\x04", &s) ==
          KAVVIX_ERROR_INVALID_ARGUMENT);
    CHECK(strstr(kavvix_last_error(), "UTF-8") != NULL);
    CHECK(kavvix_colorado_close(colorado) == KAVVIX_OK);
    CHECK(kavvix_colorado_parse(colorado, "x", &s) == KAVVIX_ERROR_CLOSED_HANDLE);
    CHECK(kavvix_colorado_close(colorado) == KAVVIX_ERROR_CLOSED_HANDLE);
    CHECK(kavvix_colorado_close(NULL) == KAVVIX_OK);

    /* Bytes above 127 are characters of the line like any other; this frame fails its
     * header digit check and is reported as rejected. */
    struct rejected rejected = {0};
    const kavvix_processor_events rejecting = {NULL, NULL, NULL, &rejected};
    kavvix_processor *processor = kavvix_processor_open(&rejecting);
    CHECK(kavvix_processor_on_frame_rejected(processor, on_rejected) == KAVVIX_OK);
    const unsigned char high[] = {0x16, 0x80, 0xff, 0xe9, 0x17, 0x00};
    CHECK(kavvix_processor_feed(processor, high, sizeof high) == KAVVIX_OK);
    CHECK(rejected.count == 1 && same(rejected.check, "header digit") && rejected.length == 5);
    CHECK(kavvix_processor_feed(processor, NULL, 3) == KAVVIX_ERROR_INVALID_ARGUMENT);
    CHECK(kavvix_processor_feed(processor, NULL, 0) == KAVVIX_OK);
    /* A handle of another kind is no handle here. */
    CHECK(kavvix_response_feed((kavvix_response *)processor, high, 1) ==
          KAVVIX_ERROR_CLOSED_HANDLE);
    CHECK(kavvix_processor_close(processor) == KAVVIX_OK);
    CHECK(kavvix_processor_feed(processor, high, 1) == KAVVIX_ERROR_CLOSED_HANDLE);

    /* A handle closed from its own callback is released once the feed returns. */
    const kavvix_processor_events closing = {NULL, on_error_close, NULL, &processor};
    processor = kavvix_processor_open(&closing);
    char frame[64];
    console_frame(frame, "900", "02");
    CHECK(kavvix_processor_feed(processor, frame, strlen(frame)) == KAVVIX_OK);
    CHECK(kavvix_processor_feed(processor, frame, 1) == KAVVIX_ERROR_CLOSED_HANDLE);

    CHECK(kavvix_job_close(NULL) == KAVVIX_OK);
    CHECK(kavvix_connection_test_start(NULL, NULL) == NULL);
    CHECK(strstr(kavvix_last_error(), "device") != NULL);
}

struct job_events {
    int lines, finished, sent, total;
    char last[128];
};

static void on_progress(void *user, int sent, int total) {
    struct job_events *e = user;
    e->sent = sent;
    e->total = total;
}

static void on_line(void *user, const char *line) {
    struct job_events *e = user;
    ++e->lines;
    snprintf(e->last, sizeof e->last, "%s", line);
    printf("  %s\n", line);
}

static void on_finished(void *user, const kavvix_job_result *result) {
    (void)result;
    ++((struct job_events *)user)->finished;
}

/* Drives the job to its end; the result's texts stay valid until the job is closed. */
static kavvix_job_result run(kavvix_job *job) {
    kavvix_job_result result = {"", 0, "", ""};
    if (job == NULL)
        return result;
    while (kavvix_poll(200) > 0) {
    }
    CHECK(kavvix_job_result_get(job, &result) == 1);
    return result;
}

static void jobs(const char *database, const char *device) {
    struct job_events e = {0};
    const kavvix_job_events events = {on_line, on_finished, &e};

    kavvix_job *test = kavvix_connection_test_start(device, &events);
    kavvix_job_result result = run(test);
    CHECK(same(result.kind, "connected") && same(result.detail, "OmniSport 2000 Ver 3.12"));
    CHECK(kavvix_job_close(test) == KAVVIX_OK);

    memset(&e, 0, sizeof e);
    kavvix_job *upload = kavvix_upload_start(database, "RIV26", "E12", "B", device, &events);
    /* Set after the start: called at once with frame 1 of 3, then for each frame. */
    CHECK(kavvix_job_on_progress(upload, on_progress) == KAVVIX_OK && e.sent == 1);
    result = run(upload);
    CHECK(same(result.kind, "sent") && result.succeeded && e.finished == 1);
    CHECK(e.sent == 3 && e.total == 3);
    CHECK(same(e.last, "All data has been sent"));
    CHECK(kavvix_job_close(upload) == KAVVIX_OK);
    CHECK(kavvix_job_result_get(upload, &result) == KAVVIX_ERROR_CLOSED_HANDLE);

    /* The console refuses the second frame of this upload. */
    upload = kavvix_upload_start(database, "RIV26", "E12", NULL, device, &events);
    result = run(upload);
    CHECK(same(result.kind, "rejected") && same(result.response_code, "02"));
    CHECK(same(e.last, "Communications ERROR: Checksum Error"));
    CHECK(kavvix_job_close(upload) == KAVVIX_OK);

    CHECK(kavvix_upload_start(database, "NOMEET", "E12", "A", device, &events) == NULL);
    CHECK(strstr(kavvix_last_error(), "NOMEET") != NULL);
    CHECK(kavvix_upload_start(database, "RIV26", "E12", "Z", device, &events) == NULL);
}

static char *read_file(const char *path, size_t *length) {
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return NULL;
    char *bytes = malloc(65536);
    *length = bytes ? fread(bytes, 1, 65536, file) : 0;
    fclose(file);
    return bytes;
}

int main(int argc, char **argv) {
    if (argc != 2 && argc != 4) {
        fprintf(stderr, "usage: %s CAPTURE [DATABASE DEVICE]\n", argv[0]);
        return 2;
    }
    size_t length = 0;
    char *capture = read_file(argv[1], &length);
    if (capture == NULL) {
        fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    printf("Kavvix %s\n", kavvix_version());
    colorado_record();
    daktronics_packets(capture, length);
    receive_processor(capture, length);
    response_receiver();
    bad_input();
    if (argc == 4)
        jobs(argv[2], argv[3]);
    free(capture);
    printf("%s\n", failures == 0 ? "every check passed" : "some checks FAILED");
    return failures == 0 ? 0 : 1;
}
