#!/usr/bin/env python3
"""Benchmarks of orlimbo-dictation, each printed beside a reference measured in
the same run. Run through bench/run.

usage: bench.py HELPER SCRIPTS_DIR [--quick]

Needs pulseaudio, flite, sox, hyperfine, pocketsphinx (for pocketsphinx_continuous)
and pocketsphinx-testdata. Starts its own private PulseAudio server.
"""

import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Failure, HelperRun, PrivatePulse, Skip, check, require_tools  # noqa: E402

MODEL = "/usr/share/pocketsphinx/model/en-us"
REFERENCE_TOOL = [
    "pocketsphinx_continuous",
    "-hmm", f"{MODEL}/en-us", "-lm", f"{MODEL}/en-us.lm.bin", "-dict", f"{MODEL}/cmudict-en-us.dict",
    "-logfn", "/dev/null",
]
LIBRIVOX = "/usr/share/pocketsphinx/test/data/librivox"
LONG_UTTERANCE = (
    "Please call me tomorrow morning, and bring the signed papers for the meeting with our new clients."
)


def report(title, figure, reference, target):
    print(f"{title:<44} {figure:>12}   reference {reference:>12}   target {target}")


def milliseconds(seconds):
    return f"{seconds * 1000:.1f} ms"


def audio_seconds(wav):
    return float(subprocess.run(["soxi", "-D", wav], capture_output=True, text=True, check=True).stdout)


def status_wall_time(helper, runs):
    """(1) `--status` against a process that does nothing, through hyperfine."""
    with tempfile.NamedTemporaryFile(suffix=".json") as export:
        subprocess.run(
            ["hyperfine", "--shell=none", "--warmup", "5", "--runs", str(runs), "--style", "none",
             "--export-json", export.name, f"{helper} --status --locale en-US", "/bin/true"],
            check=True, capture_output=True, timeout=300,
        )
        results = json.load(open(export.name))["results"]
    helper_mean, true_mean = (result["mean"] for result in results)
    report("(1) --status wall time (mean)", milliseconds(helper_mean), milliseconds(true_mean) + " /bin/true", "< 10 ms")


def first_audio_latency(pulse):
    """Start of a bare PulseAudio recorder (parec) to its first captured bytes."""
    started = time.monotonic()
    recorder = subprocess.Popen(["parec", "--raw", "--latency-msec=20"], stdout=subprocess.PIPE, env=pulse.client_env())
    recorder.stdout.read(1)
    elapsed = time.monotonic() - started
    recorder.kill()
    recorder.wait()
    return elapsed


def run_until_listening(helper, pulse):
    run = HelperRun(helper, ["--locale", "en-US"], pulse.client_env())
    listening = run.wait_for(lambda m: m == {"type": "state", "state": "listening"}, timeout=30)
    check(listening, "no listening state")
    return run


def start_to_listening(helper, pulse, runs):
    """(2) Process start to the "listening" line; reference: parec's first bytes."""
    helper_times, parec_times = [], []
    for _ in range(runs):
        run = run_until_listening(helper, pulse)
        helper_times.append(run.times[-1] - run.started_at)
        run.send("cancel")
        run.finish(timeout=10)
        parec_times.append(first_audio_latency(pulse))
    report("(2) start to \"listening\" (median)", milliseconds(statistics.median(helper_times)),
           milliseconds(statistics.median(parec_times)) + " parec", "< 100 ms")


def dictate(helper, pulse, wav, settle=False):
    """Plays `wav` into a listening helper, stops it and returns the run, the
    stop-to-closing latency and the seconds of audio the helper captured.
    Stops 0.3 s after the clip, as a user would, or with `settle` once the
    interims have settled, so that a recognizer still catching up on a busy
    machine is not cut short by the stop grace."""
    run = run_until_listening(helper, pulse)
    listening_at = run.times[-1]
    pulse.play(wav)
    time.sleep(0.3)  # the end of the clip is still on its way through the server
    if settle:
        run.wait_for(lambda m: m["type"] == "interim", timeout=30)
        while run.wait_for(lambda m: m["type"] == "interim", timeout=1, required=False):
            pass
    stop_at = time.monotonic()
    run.send("stop")
    status = run.finish(timeout=30)
    check(status == 0 and run.messages[-1]["type"] == "final", f"run did not end in a transcript: {run.lines}")
    return run, run.times[-1] - stop_at, stop_at - listening_at


def reference_decode(wav):
    """The engine's own tool on the same file: transcript, CPU seconds, peak RSS in KiB, wall seconds."""
    started = time.monotonic()
    tool = subprocess.Popen(REFERENCE_TOOL + ["-infile", wav], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    output = tool.stdout.read()
    _, _, usage = os.wait4(tool.pid, 0)
    tool.returncode = 0
    return " ".join(output.split()), usage.ru_utime + usage.ru_stime, usage.ru_maxrss, time.monotonic() - started


def stop_latency(helper, pulse, runs):
    """(3) "stop" to the closing line after a 5-second utterance."""
    with tempfile.TemporaryDirectory() as directory:
        wav = os.path.join(directory, "utterance.wav")
        subprocess.run(["flite", "-voice", "slt", "-t", LONG_UTTERANCE, "-o", wav], check=True)
        latencies = [dictate(helper, pulse, wav)[1] for _ in range(runs)]
        tool_wall = reference_decode(wav)[3]
        seconds = audio_seconds(wav)
    report(f"(3) \"stop\" to closing, {seconds:.1f} s utterance (median)", milliseconds(statistics.median(latencies)),
           milliseconds(tool_wall) + " tool, whole file", "< 250 ms")


def words(text):
    return re.findall(r"[a-z0-9']+", text.lower())


def word_errors(reference, hypothesis):
    """Levenshtein distance between two word lists."""
    previous = list(range(len(hypothesis) + 1))
    for i, ref_word in enumerate(reference, 1):
        current = [i]
        for j, hyp_word in enumerate(hypothesis, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (ref_word != hyp_word)))
        previous = current
    return previous[-1]


def librivox_clips():
    transcripts = {}
    for line in open(os.path.join(LIBRIVOX, "transcription")):
        match = re.match(r"(.*)\((\S+)\)\s*$", line)
        if match:
            transcripts[match.group(2)] = match.group(1).replace("<s>", "").replace("</s>", "")
    return [(os.path.join(LIBRIVOX, name + ".wav"), words(text)) for name, text in sorted(transcripts.items())]


def librivox(helper, pulse):
    """(4) CPU per audio second, (5) peak RSS, (6) word error rate, on the five
    LibriVox clips: the helper hears them through the virtual microphone, the
    engine's own tool reads the files."""
    totals = {key: 0.0 for key in ("cpu", "captured", "tool_cpu", "tool_audio", "errors", "tool_errors", "words")}
    rss, tool_rss = 0, 0
    for wav, reference in librivox_clips():
        # CPU and memory from a run stopped right after the clip, the transcript
        # from one stopped when the recognizer had caught up.
        run, _, captured = dictate(helper, pulse, wav)
        cpu, peak = run.rusage.ru_utime + run.rusage.ru_stime, run.rusage.ru_maxrss
        run = dictate(helper, pulse, wav, settle=True)[0]
        hypothesis = words(run.messages[-1]["text"])
        tool_text, tool_cpu, tool_peak, _ = reference_decode(wav)
        totals["cpu"] += cpu
        totals["captured"] += captured
        totals["tool_cpu"] += tool_cpu
        totals["tool_audio"] += audio_seconds(wav)
        totals["errors"] += word_errors(reference, hypothesis)
        totals["tool_errors"] += word_errors(reference, words(tool_text))
        totals["words"] += len(reference)
        rss, tool_rss = max(rss, peak, run.rusage.ru_maxrss), max(tool_rss, tool_peak)
        print(f"    {os.path.basename(wav)}\n      helper: {' '.join(hypothesis)}\n      tool:   {tool_text}")
    helper_rate = totals["cpu"] / totals["captured"]
    tool_rate = totals["tool_cpu"] / totals["tool_audio"]
    report("(4) CPU s per audio s (captured / file)", f"{helper_rate:.3f}", f"{tool_rate:.3f}", f"<= 1.1x ({helper_rate / tool_rate:.2f}x)")
    report("(5) peak RSS", f"{rss / 1024:.1f} MiB", f"{tool_rss / 1024:.1f} MiB", f"<= 1.1x ({rss / tool_rss:.2f}x)")
    wer, tool_wer = (100 * totals[key] / totals["words"] for key in ("errors", "tool_errors"))
    report(f"(6) WER, {int(totals['words'])} words", f"{wer:.1f} %", f"{tool_wer:.1f} %",
           f"<= reference + 3 points ({wer - tool_wer:+.1f})")


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__)
        return 2
    helper, scripts_dir = argv[1], argv[2]
    quick = argv[3:] == ["--quick"]
    try:
        require_tools("hyperfine", "flite", "sox", "soxi", "parec", "pocketsphinx_continuous")
        print(f"orlimbo-dictation benchmarks on {os.cpu_count()} CPUs, load average {os.getloadavg()[0]:.2f}")
        status_wall_time(helper, runs=20 if quick else 100)
        pulse = PrivatePulse(scripts_dir)
        try:
            start_to_listening(helper, pulse, runs=3 if quick else 10)
            stop_latency(helper, pulse, runs=1 if quick else 5)
            librivox(helper, pulse)
        finally:
            pulse.close()
    except (Skip, Failure) as problem:
        print(f"benchmark failed: {problem}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
