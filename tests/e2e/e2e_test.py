#!/usr/bin/env python3
"""End-to-end tests: the built helper, a real PulseAudio server with a virtual
microphone, and a synthetic voice.

usage: e2e_test.py HELPER SCRIPTS_DIR CASE
Exits 0 on success, 1 on failure and 77 when a needed tool is missing.
"""

import os
import re
import sys
import tempfile

from harness import (
    KEY_WORDS, HelperRun, PrivatePulse, check, eventually, render_sentence, run_case)

NO_MICROPHONE = {"type": "error", "message": "No usable microphone was found."}


def state(name):
    return lambda message: message == {"type": "state", "state": name}


def is_interim(message):
    return message["type"] == "interim"


def types(run):
    return [message.get("state", message["type"]) for message in run.messages]


def nowhere_env():
    return dict(os.environ, PULSE_SERVER="unix:" + os.path.join(tempfile.gettempdir(), "orlimbo-e2e-no-such-socket"))


def with_private_pulse(test):
    def wrapped(helper, scripts_dir):
        with PrivatePulse(scripts_dir) as pulse:
            test(helper, pulse)

    return wrapped


@with_private_pulse
def spoken_sentence(helper, pulse):
    with tempfile.TemporaryDirectory() as directory:
        wav = render_sentence(directory)
        run = HelperRun(helper, ["--locale", "en-US"], pulse.client_env())
        try:
            run.wait_for(state("listening"), timeout=10)
            pulse.play(wav)
            # On a busy machine the recognizer may lag seconds behind (the model
            # still loading); stop once it has caught up, when the interims
            # have settled, so that the stop grace does not cut it short.
            run.wait_for(is_interim, timeout=30)
            while run.wait_for(is_interim, timeout=1, required=False):
                pass
            run.send("stop")
            status = run.finish(timeout=10)
        finally:
            run.kill()
    check(status == 0, f"exit status {status}, lines {run.lines}")
    kinds = types(run)
    check(kinds[:2] == ["starting", "listening"], f"opening lines {run.lines}")
    check(kinds[-1] == "final", f"closing line {run.lines[-1]}")
    words = re.findall(r"[a-z']+", run.messages[-1]["text"].lower())
    missing = [word for word in KEY_WORDS if word not in words]
    check(not missing, f"final transcript lacks {missing}: {run.lines[-1]}")


def cancel_while_listening(end, **env):
    @with_private_pulse
    def test(helper, pulse):
        run = HelperRun(helper, ["--locale", "en-US"], dict(pulse.client_env(), **env))
        try:
            run.wait_for(state("listening"), timeout=10)
            # Proves that the emptiness checked below means something.
            check(eventually(pulse.recording_streams, timeout=5), "no recording stream while listening")
            end(run)
            status = run.finish(timeout=10)
        finally:
            run.kill()
        check(status == 0, f"exit status {status}, lines {run.lines}")
        check(types(run)[-1] == "cancelled", f"closing line {run.lines[-1]}")
        gone = eventually(lambda: not pulse.recording_streams(), timeout=3)
        check(gone, f"recording streams left in the server: {pulse.recording_streams()}")

    return test


def no_server(helper, _scripts_dir):
    run = HelperRun(helper, ["--locale", "en-US"], nowhere_env())
    try:
        status = run.finish(timeout=15)
    finally:
        run.kill()
    check(status == 1, f"exit status {status}, lines {run.lines}")
    check(run.messages == [{"type": "state", "state": "starting"}, NO_MICROPHONE], f"lines {run.lines}")


STATUS_CASES = [
    ("en-US", {"available": False, "reason": NO_MICROPHONE["message"]}),
    ("fr-FR", {"available": False, "reason": "Speech recognition is unavailable for fr-FR."}),
]


def expect_status(helper, locale, env, expected):
    run = HelperRun(helper, ["--status", "--locale", locale], env)
    try:
        status = run.finish(timeout=5, closing=False)
    finally:
        run.kill()
    check(status == 0, f"{locale}: exit status {status}")
    check(
        run.messages == [{"type": "status", "locale": locale, **expected}],
        f"{locale}: lines {run.lines}",
    )


def status_report(helper, _scripts_dir):
    # No audio server is reachable, and standard input stays open: the report
    # must neither touch the microphone nor wait for the host, and must say
    # that no microphone can be reached before the host starts a session.
    for locale, expected in STATUS_CASES:
        expect_status(helper, locale, nowhere_env(), expected)


@with_private_pulse
def status_with_server(helper, pulse):
    expect_status(helper, "en-US", pulse.client_env(), {"available": True, "reason": None})


CASES = {
    "spoken_sentence": spoken_sentence,
    "cancel_while_listening": cancel_while_listening(lambda run: run.send("cancel")),
    "end_of_input_while_listening": cancel_while_listening(lambda run: run.close_input()),
    # No PulseAudio cookie can be read or created there: the client library
    # complains, and the complaint must not reach standard error.
    "cancel_without_pulse_cookie": cancel_while_listening(
        lambda run: run.send("cancel"), HOME="/proc/orlimbo-no-home", XDG_CONFIG_HOME="/proc/orlimbo-no-home"
    ),
    "no_server": no_server,
    "status_report": status_report,
    "status_with_server": status_with_server,
}


def main(argv):
    if len(argv) != 4 or argv[3] not in CASES:
        print(__doc__ + "cases: " + ", ".join(CASES))
        return 2
    helper, scripts_dir, case = argv[1:]
    return run_case(lambda: CASES[case](helper, scripts_dir))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
