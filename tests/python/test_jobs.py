import gc
import threading

import pytest

import kavvix

UPLOADED = ["Validating the event ...", "Event passed validation checks", "Sending packet 1",
            "Sending packet 2", "Sending packet 3", "All data has been sent"]


def run(generator):
    """The lines a job yields and what it returned."""
    lines = []
    try:
        while True:
            lines.append(next(generator))
    except StopIteration as end:
        return lines, end.value


def test_upload(console, meet):
    progress = []
    lines, result = run(kavvix.upload(meet, "RIV26", "E12", console(), order="B",
                                      on_progress=lambda sent, total: progress.append((sent, total))))
    assert lines == UPLOADED
    assert (result.kind, result.succeeded) == ("sent", True)
    assert progress == [(1, 3), (2, 3), (3, 3)]


def test_upload_refused_with_a_response_code(console, meet):
    lines = []
    with pytest.raises(kavvix.JobError) as refused:
        for line in kavvix.upload(meet, "RIV26", "E12", console("--reject", "2:02")):
            lines.append(line)
    assert lines[-1] == "Communications ERROR: Checksum Error"  # yielded before the raise
    result = refused.value.result
    assert (result.kind, result.response_code, result.detail) == \
        ("rejected", "02", "Checksum Error")


@pytest.mark.parametrize("event, check, dives, missing", [
    ("EDD", "zero-dd", [{"reg_id": "902", "diving_order": 3, "round": 3}], None),
    ("EGP", "order-not-sequential", [], [3]),
])
def test_validation_names_who_is_at_fault(console, meet, event, check, dives, missing):
    with pytest.raises(kavvix.JobError) as failed:
        run(kavvix.upload(meet, "RIV26", event, console()))
    (problem,) = failed.value.validation
    assert (problem["check"], problem["dives"]) == (check, dives)
    assert problem.get("missing_orders") == missing
    assert failed.value.result.validation == failed.value.validation
    assert str(failed.value) == "validation-failed: " + problem["text"]


def test_connection(console):
    device = console("--version", "Pool Console 7")
    lines, result = run(kavvix.test_connection(device))
    assert lines[-1] == "Connection Successful - Pool Console 7"
    assert (result.kind, result.detail) == ("connected", "Pool Console 7")


def test_leaving_early_cancels_and_frees_the_line(console, meet):
    device = console()
    for _ in kavvix.upload(meet, "RIV26", "E12", device):
        break
    assert run(kavvix.test_connection(device))[1].succeeded


@pytest.mark.parametrize("arguments, error, match", [
    (("NOMEET", "E12", "A"), kavvix.KavvixError, "NOMEET"),
    (("RIV26", "E12", "Z"), ValueError, "dive order"),
    (("RIV26", "", "A"), ValueError, "event"),
])
def test_upload_arguments(meet, arguments, error, match):
    meet_id, event_id, order = arguments
    with pytest.raises(error, match=match):
        kavvix.upload(meet, meet_id, event_id, "/dev/null", order=order)


def test_a_job_used_on_another_thread_raises_and_the_library_goes_on(console, meet):
    device = console()
    job = kavvix.upload(meet, "RIV26", "E12", device)
    assert next(job) == "Validating the event ..."
    raised = []

    def use_elsewhere():
        try:
            for _ in job:  # the lines already read, then the job itself
                pass
        except Exception as error:  # noqa: BLE001 - what it raises is the point
            raised.append(error)

    thread = threading.Thread(target=use_elsewhere)
    thread.start()
    thread.join()
    assert isinstance(raised[0], ValueError)
    assert "thread that started it" in str(raised[0])
    del job
    gc.collect()
    lines, result = run(kavvix.upload(meet, "RIV26", "E12", device, order="B"))
    assert lines == UPLOADED and result.succeeded


def test_one_version_everywhere():
    assert kavvix.__version__ == "1.6.0.0"
