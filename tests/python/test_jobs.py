import gc
import threading

import pytest

import kavvix

UPLOADED = ["Validating the event ...", "Event passed validation checks", "Sending packet 1",
            "Sending packet 2", "Sending packet 3", "All data has been sent"]


def run(job):
    """The lines a job yields and what it returned."""
    returned = []

    def lines():
        returned.append((yield from job))

    return list(lines()), returned[0]


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
        lines.extend(kavvix.upload(meet, "RIV26", "E12", console("--reject", "2:02")))
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
    assert failed.value.result.validation == failed.value.validation
    assert (problem["check"], problem["dives"], problem.get("missing_orders")) == \
        (check, dives, missing)
    assert str(failed.value) == "validation-failed: " + problem["text"]


def test_leaving_an_upload_early_frees_the_line_for_a_connection_test(console, meet):
    device = console("--version", "Pool Console 7")
    for _ in kavvix.upload(meet, "RIV26", "E12", device):
        break  # the upload is cancelled
    lines, result = run(kavvix.test_connection(device))
    assert lines[-1] == "Connection Successful - Pool Console 7"
    assert (result.kind, result.detail) == ("connected", "Pool Console 7")


@pytest.mark.parametrize("meet_id, order, error, match", [
    ("NOMEET", "A", kavvix.KavvixError, "NOMEET"),
    ("RIV26", "Z", ValueError, "dive order"),
])
def test_upload_arguments(meet, meet_id, order, error, match):
    with pytest.raises(error, match=match):
        kavvix.upload(meet, meet_id, "E12", "/dev/null", order=order)


def test_a_job_used_on_another_thread_raises_and_the_library_goes_on(console, meet):
    device = console()
    job = kavvix.upload(meet, "RIV26", "E12", device)
    assert next(job) == "Validating the event ..."
    raised = []  # what reading the job elsewhere raised
    thread = threading.Thread(target=lambda: raised.append(pytest.raises(ValueError, list, job)))
    thread.start()
    thread.join()
    assert "thread that started it" in str(raised[0].value)
    del job
    gc.collect()
    lines, result = run(kavvix.upload(meet, "RIV26", "E12", device, order="B"))
    assert lines == UPLOADED and result.succeeded
