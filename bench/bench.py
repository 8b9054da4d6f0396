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
import array
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import wave

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
SHORT_UTTERANCE = "Please call me tomorrow morning about the meeting."
# Words that appear once each, so that each is found in a transcript without doubt.
SPACED_WORDS = ["please", "call", "me", "tomorrow", "morning", "about", "the", "meeting"]
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


# A sample louder than this (1 % of full scale) counts as sound, in the files
# and in what a recorder hears from the virtual microphone.
SOUND_THRESHOLD = 328


def read_wav(path):
    """The samples and rate of a 16-bit mono WAV file, such as flite writes."""
    with wave.open(path, "rb") as source:
        check(source.getsampwidth() == 2 and source.getnchannels() == 1, f"{path}: not 16-bit mono")
        samples = array.array("h", source.readframes(source.getnframes()))
        return samples, source.getframerate()


def write_wav(path, samples, rate):
    with wave.open(path, "wb") as target:
        target.setnchannels(1)
        target.setsampwidth(2)
        target.setframerate(rate)
        target.writeframes(samples.tobytes())


def sounding(samples):
    """Indices of the first and last sample that counts as sound, or None."""
    loud = [index for index, sample in enumerate(samples) if abs(sample) > SOUND_THRESHOLD]
    return (loud[0], loud[-1]) if loud else None


def speak(directory, name, text):
    wav = os.path.join(directory, name + ".wav")
    subprocess.run(["flite", "-voice", "slt", "-t", text, "-o", wav], check=True, timeout=30)
    return wav


def spaced_sentence(directory):
    """SPACED_WORDS spoken one by one and joined with short silences, so that
    the end of each word in the file is known to the sample. Returns the file
    and the end of each word, in seconds from the start of the file."""
    joined, ends, rate = array.array("h"), [], None
    for index, word in enumerate(SPACED_WORDS):
        samples, rate = read_wav(speak(directory, f"word{index}", word))
        bounds = sounding(samples)
        check(bounds is not None, f"flite said nothing for {word!r}")
        gap = array.array("h", bytes(2 * int((0.3 if index == 0 else 0.1) * rate)))
        joined.extend(gap)
        joined.extend(samples[bounds[0]:bounds[1] + 1])
        ends.append(len(joined) / rate)
    joined.extend(array.array("h", bytes(2 * rate)))
    wav = os.path.join(directory, "spaced.wav")
    write_wav(wav, joined, rate)
    return wav, ends


def audio_path_delay(pulse, wav):
    """Reference for what the helper hears: from starting to play `wav` to a
    bare recorder (parec, 20 ms fragments) receiving its first sound, less
    where that sound lies in the file."""
    samples, rate = read_wav(wav)
    onset = sounding(samples)[0] / rate
    recorder = subprocess.Popen(
        ["parec", "--raw", "--format=s16le", "--rate=16000", "--channels=1", "--latency-msec=20"],
        stdout=subprocess.PIPE, env=pulse.client_env())
    try:
        recorder.stdout.read(2)  # recording
        started = time.monotonic()
        player = subprocess.Popen(["paplay", wav], env=pulse.client_env())
        heard_at, pending = None, b""
        while heard_at is None and time.monotonic() - started < 10:
            read = os.read(recorder.stdout.fileno(), 640)  # 20 ms
            if not read:
                break
            pending += read
            whole = len(pending) // 2 * 2
            chunk, pending = array.array("h", pending[:whole]), pending[whole:]
            if any(abs(sample) > SOUND_THRESHOLD for sample in chunk):
                heard_at = time.monotonic()
        player.wait(timeout=60)
    finally:
        recorder.kill()
        recorder.wait()
    check(heard_at is not None, "parec heard nothing")
    return heard_at - started - onset


def play_in_background(pulse, wav):
    """Starts playing `wav`; returns the player and when it was started."""
    started = time.monotonic()
    return subprocess.Popen(["paplay", wav], env=pulse.client_env()), started


def interims_until_settled(run, quiet=1.5):
    """Waits for the first interim and then until none has come for `quiet` seconds."""
    run.wait_for(lambda m: m["type"] == "interim", timeout=30)
    while run.wait_for(lambda m: m["type"] == "interim", timeout=quiet, required=False):
        pass


def matched_words(reference, hypothesis):
    """Indices of the reference words that a longest common subsequence of the
    two word lists matches: a word counts as shown when the transcript has it
    in its place among the others, whatever it adds or lacks around it."""
    lengths = [[0] * (len(hypothesis) + 1) for _ in range(len(reference) + 1)]
    for i in range(len(reference) - 1, -1, -1):
        for j in range(len(hypothesis) - 1, -1, -1):
            lengths[i][j] = (lengths[i + 1][j + 1] + 1 if reference[i] == hypothesis[j]
                             else max(lengths[i + 1][j], lengths[i][j + 1]))
    matched, i, j = set(), 0, 0
    while i < len(reference) and j < len(hypothesis):
        if reference[i] == hypothesis[j]:
            matched.add(i)
            i, j = i + 1, j + 1
        elif lengths[i + 1][j] >= lengths[i][j + 1]:
            i += 1
        else:
            j += 1
    return matched


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def word_lag(helper, pulse, runs):
    """(7) From the end of each word in the played audio to the first interim
    that shows it (case aside, see matched_words), and to the interim from
    which on every later one shows it; a recognizer may guess a word before
    its end, so a lag can be negative. (8) From the start of speech to the
    first non-empty interim. Both are played 1 s after "listening"."""
    lags, kept_lags, missed, onsets, path = [], [], 0, [], []
    with tempfile.TemporaryDirectory() as directory:
        spaced, ends = spaced_sentence(directory)
        sentence = speak(directory, "sentence", SHORT_UTTERANCE)
        samples, rate = read_wav(sentence)
        sentence_onset = sounding(samples)[0] / rate
        for _ in range(runs):
            run = run_until_listening(helper, pulse)
            time.sleep(1)
            player, started = play_in_background(pulse, spaced)
            first = len(run.messages)
            interims_until_settled(run)
            player.wait(timeout=60)
            run.send("cancel")
            run.finish(timeout=30)
            # When each word is first shown, and from when on every later interim shows it.
            shown, kept = {}, {}
            for message, at in zip(run.messages[first:], run.times[first:]):
                if message["type"] != "interim":
                    continue
                matched = matched_words(SPACED_WORDS, words(message["text"]))
                for index in matched:
                    shown.setdefault(index, at - started)
                    kept.setdefault(index, at - started)
                for index in set(kept) - matched:
                    del kept[index]
            for index, end in enumerate(ends):
                if index in shown:
                    lags.append(shown[index] - end)
                else:
                    missed += 1
                if index in kept:
                    kept_lags.append(kept[index] - end)

            run = run_until_listening(helper, pulse)
            time.sleep(1)
            player, started = play_in_background(pulse, sentence)
            first = run.wait_for(lambda m: m["type"] == "interim" and words(m["text"]), timeout=30)
            onsets.append(run.times[-1] - started - sentence_onset)
            player.wait(timeout=60)
            run.send("cancel")
            run.finish(timeout=30)
            path.append(audio_path_delay(pulse, sentence))
    reference = milliseconds(statistics.median(path)) + " audio path"
    check(lags, "no word was ever shown")
    report(f"(7) word end to interim, median ({missed} missed)", milliseconds(statistics.median(lags)), reference,
           "<= 300 ms")
    report("(7) word end to interim, p90", milliseconds(percentile(lags, 0.9)), reference, "<= 600 ms")
    report(f"    to the interim it stays in, median ({len(ends) * runs - len(kept_lags)} never)",
           milliseconds(statistics.median(kept_lags)), reference, "-")
    report("    to the interim it stays in, p90", milliseconds(percentile(kept_lags, 0.9)), reference, "-")
    report("(8) speech onset to first interim (median)", milliseconds(statistics.median(onsets)), reference,
           "<= 350 ms")


def early_stop(helper, pulse, runs):
    """(9) "stop" to the closing line when the stop comes soon after
    "listening", while the model may still be loading: in silence, and with a
    word played from "listening" on, which the model must be there to decode.
    Reference: the engine's own tool loading the model and decoding a tenth of
    a second of silence."""
    with tempfile.TemporaryDirectory() as directory:
        silence = os.path.join(directory, "silence.wav")
        write_wav(silence, array.array("h", bytes(2 * 1600)), 16000)
        tool_wall = statistics.median(reference_decode(silence)[3] for _ in range(runs))
        word = speak(directory, "word", "yes")
        for offset, spoken in ((0.1, None), (0.3, None), (0.5, None), (0.5, word)):
            latencies = []
            for _ in range(runs):
                run = run_until_listening(helper, pulse)
                player = play_in_background(pulse, spoken)[0] if spoken else None
                time.sleep(max(0.0, run.times[-1] + offset - time.monotonic()))
                stop_at = time.monotonic()
                run.send("stop")
                status = run.finish(timeout=30)
                if player:
                    player.wait(timeout=60)
                check(status == 0 and run.messages[-1]["type"] == "final",
                      f"early stop did not end in a final: {run.lines}")
                latencies.append(run.times[-1] - stop_at)
            title = f"(9) \"stop\" {offset:.1f} s after listening" + (", a word spoken" if spoken else "")
            report(title + " (median)", milliseconds(statistics.median(latencies)), milliseconds(tool_wall) + " tool load",
                   "< 250 ms")


FLICKER_WORDS = 2


def flicker(interim_texts):
    """How many interims take back more of the previous one than a revision of
    its last words: each must keep all but at most the last FLICKER_WORDS
    words of the interim before it, in the same places."""
    count, previous = 0, None
    for text in interim_texts:
        current = words(text)
        if previous is not None:
            kept = max(0, len(previous) - FLICKER_WORDS)
            if current[:kept] != previous[:kept]:
                count += 1
        previous = current
    return count


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
    flickers, interims = 0, 0
    for wav, reference in librivox_clips():
        # CPU and memory from a run stopped right after the clip, the transcript
        # from one stopped when the recognizer had caught up.
        run, _, captured = dictate(helper, pulse, wav)
        cpu, peak = run.rusage.ru_utime + run.rusage.ru_stime, run.rusage.ru_maxrss
        run = dictate(helper, pulse, wav, settle=True)[0]
        texts = [message["text"] for message in run.messages if message["type"] == "interim"]
        flickers, interims = flickers + flicker(texts), interims + len(texts)
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
    report(f"    interims that take back more than {FLICKER_WORDS} words", f"{flickers}", f"{interims} interims", "few")


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
            word_lag(helper, pulse, runs=1 if quick else 3)
            early_stop(helper, pulse, runs=2 if quick else 5)
            librivox(helper, pulse)
        finally:
            pulse.close()
    except (Skip, Failure) as problem:
        print(f"benchmark failed: {problem}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
