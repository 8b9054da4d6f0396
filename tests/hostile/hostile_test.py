#!/usr/bin/env python3
"""Hostile conditions: the helper run by a host that misbehaves, on a machine
that takes things away from it. Every case checks what every run must show the
host: nothing on standard error, only compact JSON messages, exactly one
closing message and nothing after it, and the exit status that message
promises (0 after "final" or "cancelled", 1 after "error"), never a signal.

usage: hostile_test.py HELPER SIM SCRIPTS_DIR CASE
Exits 0 on success, 1 on failure and 77 when a needed tool is missing.
"""

import json
import os
import re
import select
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import (  # noqa: E402
    KEY_WORDS, Failure, PrivatePulse, Skip, check, eventually, is_closing, is_compact,
    render_sentence, require_tools, run_case)

STOP = b'{"command":"stop"}\n'
CANCEL = b'{"command":"cancel"}\n'
STARTING = {"type": "state", "state": "starting"}
LISTENING = {"type": "state", "state": "listening"}
STOPPING = {"type": "state", "state": "stopping"}
CANCELLED = {"type": "state", "state": "cancelled"}
FLOOD = 100_000

# A simulated dictation that keeps talking until it is stopped, and answers a
# stop with its final transcript a second later.
TALKING = {"recognition": [{"at": 0.05 * i, "partial": "word " * i} for i in range(1, 40)]
           + [{"afterEndAudio": 1, "final": "Meet me at noon."}]}
PROMPT_OPEN = {"speechPrompt": None}


class Host:
    """One helper process and the host's end of its three pipes. Standard
    output is read here, without a thread, so that the host can close it."""

    def __init__(self, argv, env, preexec=None):
        self.raw = bytearray()
        self.lines = []
        self.output_closed = False
        self._stderr = bytearray()
        self.process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env, preexec_fn=preexec)
        self._stderr_thread = threading.Thread(target=self._read_stderr, daemon=True)
        self._stderr_thread.start()

    def _read_stderr(self):
        for chunk in iter(lambda: self.process.stderr.read1(65536), b""):
            self._stderr.extend(chunk)

    def _fill(self, timeout):
        if self.output_closed:
            return False
        ready, _, _ = select.select([self.process.stdout], [], [], max(timeout, 0))
        if not ready:
            return True
        chunk = os.read(self.process.stdout.fileno(), 65536)
        if not chunk:
            self.close_output()
            return False
        self.raw.extend(chunk)
        while b"\n" in self.raw:
            line, _, rest = bytes(self.raw).partition(b"\n")
            self.raw = bytearray(rest)
            self.lines.append(line.decode("utf-8"))
        return True

    def wait_for(self, wanted, timeout):
        deadline = time.monotonic() + timeout
        seen = 0
        while True:
            for line in self.lines[seen:]:
                if wanted(json.loads(line)):
                    return
            seen = len(self.lines)
            remaining = deadline - time.monotonic()
            check(remaining > 0 and self._fill(remaining), f"nothing wanted within {timeout} s; got {self.lines}")

    def write(self, data):
        """Writes to standard input; False once the helper has stopped reading."""
        try:
            self.process.stdin.write(data)
            self.process.stdin.flush()
            return True
        except (BrokenPipeError, ValueError):
            return False

    def close_input(self):
        try:
            self.process.stdin.close()
        except BrokenPipeError:
            pass

    def close_output(self):
        if not self.output_closed:
            self.process.stdout.close()
            self.output_closed = True

    def finish(self, timeout, status):
        """Reads the rest, waits for the exit and checks the rules of every run
        against what the host could still read."""
        deadline = time.monotonic() + timeout
        while self._fill(deadline - time.monotonic()) and time.monotonic() < deadline:
            pass
        try:
            code = self.process.wait(timeout=max(deadline - time.monotonic(), 0.1))
        except subprocess.TimeoutExpired:
            self.kill()
            raise Failure(f"helper still running after {timeout} s; got {self.lines}")
        self._stderr_thread.join(timeout=2)
        check(code >= 0, f"killed by signal {-code}; got {self.lines}")
        check(not self._stderr, f"standard error not empty: {bytes(self._stderr)!r}")
        check(not self.raw, f"unterminated output {bytes(self.raw)!r}")
        messages = []
        for line in self.lines:
            message = json.loads(line)
            check(isinstance(message, dict) and "type" in message and is_compact(line), f"not a message: {line!r}")
            messages.append(message)
        if not self.output_closed:
            closings = [i for i, message in enumerate(messages) if is_closing(message)]
            check(closings == [len(messages) - 1], f"closing lines misplaced: {self.lines}")
            promised = 1 if messages[-1]["type"] == "error" else 0
            check(code == promised, f"exit status {code} after {self.lines[-1]}")
        check(status is None or code == status, f"exit status {code}, wanted {status}; lines {self.lines}")
        print("\n".join(self.lines) + f"\nexit status {code}")
        return messages

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def sim_host(sim, scenario, directory, args=()):
    path = os.path.join(directory, "scenario.json")
    with open(path, "w") as file:
        json.dump(scenario, file)
    return Host([sim, *args], dict(os.environ, ORLIMBO_DICTATION_SCENARIO=path))


def kinds(messages):
    return [message.get("state", message["type"]) for message in messages]


def with_sim(test):
    def wrapped(helper, sim, scripts):
        with tempfile.TemporaryDirectory() as directory:
            test(sim, directory)
    return wrapped


def with_pulse(test):
    def wrapped(helper, sim, scripts):
        with PrivatePulse(scripts) as pulse:
            test(helper, pulse)
    return wrapped


# ---- standard output closed, and SIGPIPE

def output_closed_while_listening(make_host):
    """The host stops reading while messages are flowing, then stops: the
    helper's writes fail, but it neither dies of SIGPIPE nor hangs, and its
    exit status still tells the host how the run ended."""
    host = make_host()
    try:
        host.wait_for(lambda m: m == LISTENING, timeout=15)
        host.close_output()
        time.sleep(0.5)  # interims are written into the closed pipe meanwhile
        host.write(STOP)
        host.finish(timeout=15, status=0)
    finally:
        host.kill()


@with_sim
def sim_output_closed(sim, directory):
    output_closed_while_listening(lambda: sim_host(sim, TALKING, directory))


@with_pulse
def real_output_closed(helper, pulse):
    output_closed_while_listening(lambda: Host([helper, "--locale", "en-US"], pulse.client_env()))


@with_pulse
def real_sigpipe_while_listening(helper, pulse):
    host = Host([helper, "--locale", "en-US"], pulse.client_env())
    try:
        host.wait_for(lambda m: m == LISTENING, timeout=15)
        host.process.send_signal(signal.SIGPIPE)
        time.sleep(0.2)
        host.write(STOP)
        messages = host.finish(timeout=15, status=0)
    finally:
        host.kill()
    check(kinds(messages)[-2:] == ["stopping", "final"], f"lines {host.lines}")


# ---- standard input flooded

def flood(host, line, count=FLOOD):
    """Writes `count` copies of `line` in blocks; False once the helper left."""
    block = line * 1000
    return all(host.write(block) for _ in range(count // 1000))


@with_sim
def sim_flood_then_cancel(sim, directory):
    host = sim_host(sim, PROMPT_OPEN, directory)
    try:
        host.wait_for(lambda m: m == STARTING, timeout=10)
        junk = [b'{"command":"pause"}\n', b'{"command":1}\n', b"[]\n", b"\n", b'{"command":"STOP"}\r\n']
        for line in junk:
            check(flood(host, line, FLOOD // len(junk)), "the helper stopped reading during the flood")
        host.write(CANCEL)
        messages = host.finish(timeout=30, status=0)
    finally:
        host.kill()
    check(messages == [STARTING, CANCELLED], f"lines {host.lines}")


def stop_talking_sim(sim, directory, stop):
    """Runs TALKING until it listens, lets `stop(host)` stop it, and checks that
    the host saw one "stopping" and then the scenario's final."""
    host = sim_host(sim, TALKING, directory)
    try:
        host.wait_for(lambda m: m == LISTENING, timeout=10)
        stop(host)
        messages = host.finish(timeout=30, status=0)
    finally:
        host.kill()
    check(kinds(messages).count("stopping") == 1, f"lines {host.lines}")
    check(messages[-1] == {"type": "final", "text": "Meet me at noon."}, f"lines {host.lines}")


@with_sim
def sim_flood_of_stops(sim, directory):
    stop_talking_sim(sim, directory, lambda host: flood(host, STOP))


@with_sim
def sim_stop_then_garbage(sim, directory):
    def stop(host):
        host.write(STOP)
        garbage = bytes(range(256)).replace(b"\n", b"") + b"\n"
        flood(host, garbage)  # may end early: the helper exits after its final

    stop_talking_sim(sim, directory, stop)


# ---- stop, then the end of input at once

@with_pulse
def real_stop_and_close_at_once(helper, pulse):
    host = Host([helper, "--locale", "en-US"], pulse.client_env())
    try:
        host.wait_for(lambda m: m == LISTENING, timeout=15)
        host.write(STOP)
        host.close_input()
        messages = host.finish(timeout=15, status=0)
    finally:
        host.kill()
    check(messages[-2:] == [STOPPING, CANCELLED], f"lines {host.lines}")
    check("final" not in kinds(messages), f"lines {host.lines}")


# ---- the microphone goes away

def microphone_vanishes(take_away):
    """Takes the microphone away while the helper listens. The helper must not
    crash, write to standard error or hang, and must not wait for the host:
    the run ends by itself as a stop ends it, with "stopping" and the final."""
    @with_pulse
    def test(helper, pulse):
        host = Host([helper, "--locale", "en-US"], pulse.client_env())
        try:
            host.wait_for(lambda m: m == LISTENING, timeout=15)
            take_away(pulse)
            host.wait_for(lambda m: m == STOPPING, timeout=10)
            messages = host.finish(timeout=15, status=0)
        finally:
            host.kill()
        check(kinds(messages)[-2:] == ["stopping", "final"], f"lines {host.lines}")
    return test


def unload_microphone(pulse):
    subprocess.run(["pactl", "unload-module", "module-null-sink"], env=pulse.client_env(),
                   check=True, timeout=10)


def kill_server(pulse):
    with open(os.path.join(pulse._dir, "pulse", "pid")) as file:
        os.kill(int(file.read().split()[0]), signal.SIGKILL)


@with_sim
def sim_capture_ends(sim, directory):
    """The microphone goes away: the run ends by itself, with the text so far."""
    scenario = {"microphone": {"endsAfter": 0.5},
                "recognition": [{"at": 0.1, "partial": "Meet me"},
                                {"afterEndAudio": 0.2, "final": "Meet me at noon."}]}
    host = sim_host(sim, scenario, directory)
    try:
        messages = host.finish(timeout=15, status=0)
    finally:
        host.kill()
    check(kinds(messages) == ["starting", "listening", "interim", "stopping", "final"],
          f"lines {host.lines}")
    check(messages[-1]["text"] == "Meet me at noon.", f"lines {host.lines}")


# ---- a host that stops reading

FILLER = b'{"type":"filler"}\n'


def fill_output_pipe(pid):
    """Fills the helper's standard output pipe from the host's side, a line at
    a time (each write of it is atomic), so that the helper's next line does
    not fit and its write blocks."""
    fd = os.open(f"/proc/{pid}/fd/1", os.O_WRONLY | os.O_NONBLOCK)
    try:
        while True:
            os.write(fd, FILLER)
    except BlockingIOError:
        pass
    finally:
        os.close(fd)


@with_sim
def sim_host_not_reading(sim, directory):
    """While the host reads nothing, interims that cannot be written replace
    each other instead of piling up, and the host's stop is still obeyed."""
    host = sim_host(sim, TALKING, directory)
    try:
        host.wait_for(lambda m: m == LISTENING, timeout=10)
        fill_output_pipe(host.process.pid)
        time.sleep(2.5)  # every partial of the scenario has been reported
        host.write(STOP)
        time.sleep(1.5)  # and its final too
        check(host.process.poll() is None, "the helper did not wait for the host to read")
        messages = host.finish(timeout=10, status=0)
    finally:
        host.kill()
    spoken = [m for m in messages if m["type"] != "filler"]
    check(kinds(spoken)[-2:] == ["stopping", "final"], f"lines {host.lines[-5:]}")
    check(kinds(spoken).count("interim") <= 3, f"interims not replaced: {kinds(spoken)}")


@with_pulse
def real_host_not_reading(helper, pulse):
    """The host reads nothing while the user speaks: the helper's output pipe
    is full. The 60-second cap must still end the recording and release the
    microphone; the closing message waits for the host and comes last."""
    with tempfile.TemporaryDirectory() as directory:
        wav = render_sentence(directory)
        host = Host([helper, "--locale", "en-US"], pulse.client_env())
        try:
            host.wait_for(lambda m: m == LISTENING, timeout=15)
            listening_at = time.monotonic()
            fill_output_pipe(host.process.pid)
            for _ in range(3):
                pulse.play(wav)
            time.sleep(max(listening_at + 63 - time.monotonic(), 0))
            check(host.process.poll() is None, "the helper did not wait for the host to read")
            check(not pulse.recording_streams(), "still recording after the 60-second cap")
            messages = host.finish(timeout=15, status=0)
        finally:
            host.kill()
    spoken = [m for m in messages if m["type"] != "filler"]
    check(kinds(spoken)[-2:] == ["stopping", "final"], f"lines {host.lines[-5:]}")


# ---- standard streams closed at start

def close_fd(fd):
    return lambda: os.close(fd)


def standard_fds(pid):
    return [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in range(3)]


@with_pulse
def real_standard_streams_closed(helper, pulse):
    """A host (or a shell's `<&-`) that starts the helper with a standard
    stream closed. Whatever the helper opens later (libpulse's wake-up pipe)
    must not land there: a closed input is the end of input, a closed output
    or error stream is the null device, and the exit status stays right."""
    host = Host([helper, "--locale", "en-US"], pulse.client_env(), preexec=close_fd(0))
    try:
        messages = host.finish(timeout=5, status=0)
    finally:
        host.kill()
    check(messages[-1] == CANCELLED, f"closed input not taken as its end: {host.lines}")

    for fd in (1, 2):
        host = Host([helper, "--locale", "en-US"], pulse.client_env(), preexec=close_fd(fd))
        try:
            if fd == 2:
                host.wait_for(lambda m: m == LISTENING, timeout=15)
            else:
                check(eventually(pulse.recording_streams, timeout=15), "never recorded")
            fds = standard_fds(host.process.pid)
            check(fds[fd] == "/dev/null", f"fd {fd} closed at start is now {fds[fd]}")
            check(fds[0].startswith("pipe:"), f"standard input is now {fds[0]}")
            host.write(STOP)
            host.finish(timeout=15, status=0)
        finally:
            host.kill()


# ---- an audio server that never answers

class SilentServer:
    """A unix socket that accepts connections and never says a word, as a
    hung or stopped audio server does."""

    def __init__(self, directory):
        self.path = os.path.join(directory, "silent")
        self._socket = socket.socket(socket.AF_UNIX)
        self._socket.bind(self.path)
        self._socket.listen(16)
        self._accepted = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                self._accepted.append(self._socket.accept()[0])
            except OSError:
                return

    def close(self):
        self._socket.close()
        for connection in self._accepted:
            connection.close()


SOON = 1.5  # seconds within which a command at 0.3 s must have taken effect


def answered_at_once(env, action, wanted_last, status=0):
    """Starts the real helper in `env`, does `action(host)` at 0.3 s and checks
    that the run ends with `wanted_last` within SOON seconds."""
    def run(helper):
        host = Host([helper, "--locale", "en-US"], env)
        try:
            time.sleep(0.3)
            action(host)
            started = time.monotonic()
            messages = host.finish(timeout=10, status=status)
            took = time.monotonic() - started
        finally:
            host.kill()
        check(messages[-1] == wanted_last, f"lines {host.lines}")
        check(took < SOON, f"took {took:.2f} s to end; lines {host.lines}")
    return run


HOST_ACTIONS = [
    (lambda host: host.write(CANCEL), CANCELLED),
    (lambda host: host.write(STOP), {"type": "final", "text": ""}),
    (lambda host: host.close_input(), CANCELLED),
]


def real_silent_server(helper, sim, scripts):
    with tempfile.TemporaryDirectory() as directory:
        server = SilentServer(directory)
        try:
            env = dict(os.environ, PULSE_SERVER="unix:" + server.path)
            for action, last in HOST_ACTIONS:
                answered_at_once(env, action, last)(helper)
        finally:
            server.close()


def real_client_config_spins(helper, sim, scripts):
    """libpulse reads a client configuration of /dev/zero for ever; the host
    must still be heard."""
    env = dict(os.environ, PULSE_CLIENTCONFIG="/dev/zero")
    for action, last in HOST_ACTIONS:
        answered_at_once(env, action, last)(helper)


# ---- signals

def each_termination_signal(make_host, ready, check_after):
    """Each of the three termination signals, sent once `ready` holds, ends the
    run as a cancel does: the closing "cancelled" and exit status 0."""
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        host = make_host()
        try:
            host.wait_for(ready, timeout=15)
            host.process.send_signal(number)
            messages = host.finish(timeout=10, status=0)
        finally:
            host.kill()
        check_after(number, host, messages)


@with_pulse
def real_signals(helper, pulse):
    def check_after(number, host, messages):
        check(messages[-1] == CANCELLED, f"signal {number}: lines {host.lines}")
        check(not pulse.recording_streams(), f"signal {number}: still recording")

    each_termination_signal(lambda: Host([helper, "--locale", "en-US"], pulse.client_env()),
                            lambda m: m == LISTENING, check_after)


@with_sim
def sim_signals(sim, directory):
    """A signal while a permission prompt is open, before anything listens."""
    def check_after(number, host, messages):
        check(messages == [STARTING, CANCELLED], f"signal {number}: lines {host.lines}")

    each_termination_signal(lambda: sim_host(sim, PROMPT_OPEN, directory),
                            lambda m: m == STARTING, check_after)


# ---- limits: threads that cannot start, tiny stacks, oversized settings

def require_plain_build(binary, reason):
    """Sanitizer runtimes reserve terabytes of address space up front and
    multiply the size of every stack frame."""
    libraries = subprocess.run(["ldd", binary], capture_output=True, text=True).stdout
    if re.search(r"lib[at]san", libraries):
        raise Skip(f"a sanitizer build cannot run {reason}")


def with_address_space(limit):
    import resource
    return lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


@with_sim
def sim_threads_refused(sim, directory):
    """Lowers the address-space limit step by step until the helper cannot
    have a thread; every run before that is a whole run, and that one ends
    with the error line instead of an abort."""
    require_plain_build(sim, "under an address-space limit")
    path = os.path.join(directory, "scenario.json")
    with open(path, "w") as file:
        json.dump({}, file)
    env = dict(os.environ, ORLIMBO_DICTATION_SCENARIO=path)
    for megabytes in range(64, 4, -1):
        host = Host([sim], env, preexec=with_address_space(megabytes << 20))
        try:
            time.sleep(0.2)
            host.write(STOP)
            messages = host.finish(timeout=10, status=None)
        finally:
            host.kill()
        if messages and messages[-1]["type"] == "error":
            check("out of resources" in messages[-1]["message"], f"at {megabytes} MiB: {host.lines}")
            check(host.process.returncode == 1, f"at {megabytes} MiB: exit {host.process.returncode}")
            return
        check(messages and messages[-1]["type"] == "final", f"at {megabytes} MiB: {host.lines}")
    raise Failure("no limit refused a thread")


@with_pulse
def real_tiny_stack(helper, pulse):
    """glibc sizes thread stacks from RLIMIT_STACK; the helper's threads (the
    model loader, the decoder) must not inherit a few kilobytes. Where the
    hard limit allows, the main thread's stack may grow as usual; where it
    does not (32 KB hard), the main thread makes do with it."""
    require_plain_build(helper, "on a stack of a few kilobytes")
    import resource
    _, hard = resource.getrlimit(resource.RLIMIT_STACK)
    # execve allows arguments and environment a quarter of the stack limit.
    env = {"PULSE_SERVER": pulse.client_env()["PULSE_SERVER"]}
    for soft, hard in ((16 << 10, hard), (32 << 10, 32 << 10)):
        host = Host([helper, "--locale", "en-US"], env,
                    preexec=lambda limits=(soft, hard): resource.setrlimit(resource.RLIMIT_STACK, limits))
        try:
            host.wait_for(lambda m: m == LISTENING, timeout=15)
            time.sleep(1)
            host.write(STOP)
            messages = host.finish(timeout=15, status=0)
        finally:
            host.kill()
        check(messages[-1]["type"] == "final", f"stack {soft}/{hard}: lines {host.lines}")


def real_long_server_list(helper, sim, scripts):
    """libpulse aborts on a server list of more than about 10 KB."""
    env = dict(os.environ, PULSE_SERVER="a" * 11000)
    host = Host([helper, "--locale", "en-US"], env)
    try:
        messages = host.finish(timeout=15, status=1)
    finally:
        host.kill()
    check(messages[-1] == {"type": "error", "message": "No usable microphone was found."},
          f"lines {host.lines}")


# ---- scenario files that are not files

@with_sim
def sim_scenario_not_a_file(sim, directory):
    fifo = os.path.join(directory, "fifo")
    os.mkfifo(fifo)
    for path in ("/dev/zero", fifo, directory):
        host = Host([sim], dict(os.environ, ORLIMBO_DICTATION_SCENARIO=path))
        try:
            messages = host.finish(timeout=10, status=1)
        finally:
            host.kill()
        check(len(messages) == 1 and messages[0]["type"] == "error", f"{path}: lines {host.lines}")


# ---- no network, no socket but the audio server's, no file written

TRACED = "socket,connect,bind,open,openat,creat,mkdir,mkdirat,rename,renameat,renameat2," \
         "unlink,unlinkat,link,linkat,symlink,symlinkat,truncate,memfd_create"
WRITE_FLAGS = re.compile(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC")
SANITIZER_SCRATCH = re.compile(r'"/tmp/tsan\.rodata\.\d+"')
CHANGES_FILES = re.compile(r"^\d+ +(creat|mkdir|mkdirat|rename|renameat2?|unlink|unlinkat|link|linkat|symlink|symlinkat|truncate)\(")


def require_isolation():
    require_tools("unshare", "strace")
    for probe in (["unshare", "-n", "true"], ["strace", "-o", os.devnull, "true"]):
        if subprocess.run(probe, capture_output=True).returncode != 0:
            raise Skip(f"not permitted here: {' '.join(probe)}")


def trace_problems(trace_path):
    """Every traced call that reaches beyond the audio server's socket: a socket
    of another family, or a file opened for writing or changed."""
    problems = []
    with open(trace_path) as trace:
        for line in trace:
            # ThreadSanitizer's runtime maps a scratch file of its own, at once unlinked.
            if SANITIZER_SCRATCH.search(line):
                continue
            if re.search(r"\bsocket\(", line) and "AF_UNIX" not in line:
                problems.append(line.strip())
            elif re.search(r"\bopen(at)?\(", line) and WRITE_FLAGS.search(line):
                path = re.search(r'"([^"]*)"', line)
                # The null device and the process's own /proc files are not files
                # of the user's; a failed open wrote nothing.
                if path and (path.group(1) == "/dev/null" or path.group(1).startswith("/proc/self/")
                             or re.search(r"= -1 E", line)):
                    continue
                problems.append(line.strip())
            elif CHANGES_FILES.search(line) and not re.search(r"= -1 E", line):
                problems.append(line.strip())
    return problems


@with_pulse
def offline_dictation(helper, pulse):
    require_isolation()
    with tempfile.TemporaryDirectory() as directory:
        wav = render_sentence(directory)
        # A desktop session's home: the audio server made the cookie long ago.
        home = os.path.join(directory, "home")
        os.makedirs(os.path.join(home, ".config", "pulse"))
        with open(os.path.join(home, ".config", "pulse", "cookie"), "wb") as cookie:
            cookie.write(os.urandom(256))
        env = dict(pulse.client_env(), HOME=home)
        env.pop("XDG_CONFIG_HOME", None)
        trace = os.path.join(directory, "trace")
        host = Host(["unshare", "-n", "strace", "-f", "-qq", "-o", trace, "-e", "trace=" + TRACED,
                     helper, "--locale", "en-US"], env)
        try:
            host.wait_for(lambda m: m == LISTENING, timeout=30)
            pulse.play(wav)
            host.wait_for(lambda m: m["type"] == "interim", timeout=30)
            time.sleep(2)
            host.write(STOP)
            messages = host.finish(timeout=20, status=0)
        finally:
            host.kill()
        words = re.findall(r"[a-z']+", messages[-1].get("text", "").lower())
        check(messages[-1]["type"] == "final" and all(w in words for w in KEY_WORDS),
              f"no transcript without a network: {host.lines}")
        problems = trace_problems(trace)
        check(not problems, "reached beyond the audio server:\n" + "\n".join(problems))


CASES = {
    "sim_output_closed": sim_output_closed,
    "real_output_closed": real_output_closed,
    "real_sigpipe_while_listening": real_sigpipe_while_listening,
    "sim_flood_then_cancel": sim_flood_then_cancel,
    "sim_flood_of_stops": sim_flood_of_stops,
    "sim_stop_then_garbage": sim_stop_then_garbage,
    "real_stop_and_close_at_once": real_stop_and_close_at_once,
    "microphone_unloaded": microphone_vanishes(unload_microphone),
    "server_killed": microphone_vanishes(kill_server),
    "offline_dictation": offline_dictation,
    "sim_capture_ends": sim_capture_ends,
    "real_host_not_reading": real_host_not_reading,
    "sim_host_not_reading": sim_host_not_reading,
    "real_standard_streams_closed": real_standard_streams_closed,
    "real_silent_server": real_silent_server,
    "real_client_config_spins": real_client_config_spins,
    "real_signals": real_signals,
    "sim_signals": sim_signals,
    "sim_threads_refused": sim_threads_refused,
    "real_tiny_stack": real_tiny_stack,
    "real_long_server_list": real_long_server_list,
    "sim_scenario_not_a_file": sim_scenario_not_a_file,
}


def main(argv):
    if len(argv) != 5 or argv[4] not in CASES:
        print(__doc__ + "cases: " + ", ".join(CASES))
        return 2
    helper, sim, scripts, case = argv[1:]
    return run_case(lambda: CASES[case](helper, sim, scripts))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
