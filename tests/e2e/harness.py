"""Runs the real helper as a host would and checks what every run must satisfy.

A `HelperRun` owns one helper process: it writes commands to its standard
input, collects its standard output line by line on a reader thread and its
standard error on another. `finish()` waits for the exit and checks the rules
that hold for every run: nothing on standard error, every line one compact JSON
object with a "type", exactly one closing message and nothing after it.

`PrivatePulse` starts a private PulseAudio server (scripts/private-pulse) in a
directory of its own, so tests neither share nor disturb a server; used in a
`with` statement it stops the server on the way out.

`render_sentence` speaks `SENTENCE` into a WAV file with flite.
"""

import json
import os
import queue
import shlex
import shutil
import subprocess
import tempfile
import threading
import time

SKIP = 77  # CTest SKIP_RETURN_CODE

# What the synthetic voice says, and the words recognition must get right.
SENTENCE = "please call me tomorrow morning"
KEY_WORDS = ("call", "tomorrow", "morning")


class Skip(Exception):
    """A tool the test needs is not installed on this machine."""


class Failure(AssertionError):
    pass


def require_tools(*names):
    missing = [name for name in names if shutil.which(name) is None]
    if missing:
        raise Skip("not installed: " + ", ".join(missing))


def run_case(case):
    """Runs one test case and returns the exit status CTest reads from it."""
    try:
        case()
    except Skip as reason:
        print(f"skipped: {reason}")
        return SKIP
    except Failure as failure:
        print(f"FAILED: {failure}")
        return 1
    print("passed")
    return 0


def check(condition, message):
    if not condition:
        raise Failure(message)


def is_compact(line):
    """True when no whitespace stands outside the strings of a JSON text."""
    in_string = escaped = False
    for char in line:
        if in_string:
            if escaped:
                escaped = False
            elif char == "\\":
                escaped = True
            elif char == '"':
                in_string = False
        elif char == '"':
            in_string = True
        elif char in " \t\r\n":
            return False
    return True


def is_closing(message):
    return message.get("type") in ("final", "error") or message == {
        "type": "state",
        "state": "cancelled",
    }


class HelperRun:
    def __init__(self, helper, args, env):
        self.lines = []  # raw stdout lines, without their line feed
        self.messages = []  # decoded lines, in order
        self.times = []  # time.monotonic() at which each line was read
        self.rusage = None  # the helper's resource usage, once it has exited
        self.started_at = time.monotonic()
        self._incoming = queue.Queue()
        self._stderr = bytearray()
        self._process = subprocess.Popen(
            [helper, *args],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            env=env,
        )
        self._threads = [
            threading.Thread(target=self._read_stdout, daemon=True),
            threading.Thread(target=self._read_stderr, daemon=True),
        ]
        for thread in self._threads:
            thread.start()

    def _read_stdout(self):
        for raw in self._process.stdout:
            self._incoming.put((time.monotonic(), raw))
        self._incoming.put(None)

    def _read_stderr(self):
        for raw in self._process.stderr:
            self._stderr.extend(raw)

    def _take(self, item):
        read_at, raw = item
        check(raw.endswith(b"\n"), f"unterminated last line {raw!r}")
        line = raw[:-1].decode("utf-8")
        self.lines.append(line)
        self.times.append(read_at)
        try:
            message = json.loads(line)
        except ValueError:
            raise Failure(f"not JSON: {line!r}")
        check(isinstance(message, dict) and "type" in message, f"not a message: {line!r}")
        check(is_compact(line), f"not compact JSON: {line!r}")
        self.messages.append(message)
        return message

    def wait_for(self, wanted, timeout, required=True):
        """Reads messages until one satisfies `wanted`; at the timeout fails, or
        returns None when not `required`. Fails when the helper closes its
        output first."""
        deadline = time.monotonic() + timeout
        while True:
            remaining = deadline - time.monotonic()
            try:
                raw = self._incoming.get(timeout=max(remaining, 0))
            except queue.Empty:
                if not required:
                    return None
                raise Failure(f"nothing wanted within {timeout} s; got {self.lines}")
            if raw is None:
                self._incoming.put(None)
                raise Failure(f"output ended early; got {self.lines}")
            message = self._take(raw)
            if wanted(message):
                return message

    def send(self, command):
        self._process.stdin.write(json.dumps({"command": command}).encode() + b"\n")
        self._process.stdin.flush()

    def close_input(self):
        self._process.stdin.close()

    def finish(self, timeout, closing=True):
        """Reads the rest of the output and returns the exit status. `closing`
        says whether the run ends with a closing message (not so a status run)."""
        deadline = time.monotonic() + timeout
        try:
            while (raw := self._incoming.get(timeout=max(deadline - time.monotonic(), 0))) is not None:
                self._take(raw)
            status = self._wait(deadline)
        except queue.Empty:
            raise Failure(f"helper still running after {timeout} s; got {self.lines}")
        for thread in self._threads:
            thread.join(timeout=2)
        check(not self._stderr, f"standard error not empty: {bytes(self._stderr)!r}")
        closings = [index for index, message in enumerate(self.messages) if is_closing(message)]
        wanted = [len(self.messages) - 1] if closing else []
        check(closings == wanted, f"closing lines misplaced: {self.lines}")
        return status

    def _wait(self, deadline):
        # wait4 rather than Popen.wait: the benchmarks read CPU time and peak RSS.
        while True:
            pid, status, self.rusage = os.wait4(self._process.pid, os.WNOHANG)
            if pid:
                self._process.returncode = os.waitstatus_to_exitcode(status)
                return self._process.returncode
            if time.monotonic() >= deadline:
                raise queue.Empty
            time.sleep(0.005)

    def kill(self):
        if self._process.poll() is None:
            self._process.kill()
            self._process.wait()


class PrivatePulse:
    def __init__(self, scripts_dir):
        require_tools("pulseaudio", "pactl", "paplay")
        self._script = os.path.join(scripts_dir, "private-pulse")
        # A socket path may not exceed 107 bytes: a deep TMPDIR (as on some CI
        # runners) gives way to /tmp.
        parent = None if len(tempfile.gettempdir()) < 64 else "/tmp"
        self._dir = tempfile.mkdtemp(prefix="orlimbo-e2e-", dir=parent)
        self._env = dict(os.environ, ORLIMBO_PULSE_DIR=os.path.join(self._dir, "pulse"))
        exports = subprocess.run(
            [self._script, "start"], env=self._env, capture_output=True, text=True, timeout=30
        )
        check(exports.returncode == 0, f"private-pulse start failed: {exports.stderr}")
        words = shlex.split(exports.stdout)
        self.server = next(w.split("=", 1)[1] for w in words if w.startswith("PULSE_SERVER="))

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def client_env(self):
        return dict(os.environ, PULSE_SERVER=self.server)

    def play(self, wav_path):
        """Plays a file into the virtual microphone; returns once it has been heard."""
        subprocess.run(["paplay", wav_path], env=self.client_env(), check=True, timeout=60)

    def recording_streams(self):
        listing = subprocess.run(
            ["pactl", "list", "source-outputs", "short"],
            env=self.client_env(), capture_output=True, text=True, check=True, timeout=10,
        )
        return [line for line in listing.stdout.splitlines() if line.strip()]

    def close(self):
        subprocess.run([self._script, "stop"], env=self._env, capture_output=True, timeout=30)
        shutil.rmtree(self._dir, ignore_errors=True)


def render_sentence(directory):
    """Speaks SENTENCE into directory/sentence.wav; returns its path."""
    require_tools("flite")
    wav = os.path.join(directory, "sentence.wav")
    subprocess.run(["flite", "-voice", "slt", "-t", SENTENCE, "-o", wav], check=True, timeout=30)
    return wav


def eventually(probe, timeout, interval=0.05):
    """Polls `probe` until it returns a true value or the timeout passes."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)
