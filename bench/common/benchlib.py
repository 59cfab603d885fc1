"""Shared by the benchmark drivers: the program connected on a private
desktop (through the end-to-end harness), the reference responder on a
pseudo-terminal of the same kind, the measuring client, and /proc readings.

Only the processes started here are stopped, by pid."""

import argparse
import math
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from desktop import Desktop  # noqa: E402,F401
from program import Phone, Program, cpu_seconds, rss_kib  # noqa: E402,F401

# The accessory's line for C: key 2 pressed three times, 14 bytes with its
# carriage return.
KEYPAD_C = 'AT+CKPD="222"'

# The serial line's own limit: 9600 baud, 10 bits on the wire per byte.
LINE_BYTES_PER_SECOND = 9600 / 10


def arguments(description, build="build-bench"):
    """The options every driver takes: where the binaries are."""
    parser = argparse.ArgumentParser(description=description)
    base = os.path.join(ROOT, build)
    parser.add_argument("--program", default=os.path.join(base, "app", "tavlun"))
    parser.add_argument("--client", default=os.path.join(
        base, "bench", "answer_latency", "tavlun_rtt_client"))
    parser.add_argument("--responder", default=os.path.join(
        base, "bench", "answer_latency", "tavlun_reference_responder"))
    return parser


def turns(args):
    """The modes (spaced by --gap-ms, back to back, each a name and a gap in µs), the rounds in which the program
    and the reference take turns and the round trips in each, and empty sample lists for both, by mode."""
    modes = ((f"{args.gap_ms:g} ms apart", int(args.gap_ms * 1000)), ("back to back", 0))
    rounds = max(1, args.count // args.round)
    return modes, rounds, args.count // rounds, {name: [] for name, _ in modes}, {name: [] for name, _ in modes}


def check_binaries(args):
    for path in (args.program, args.client, args.responder):
        if not os.access(path, os.X_OK):
            sys.exit(f"missing binary {path}: build the benchmark targets first (see bench/README.md)")


def connected_program(desktop, binary):
    """Starts the program with one pseudo-terminal as port 1 and connects it
    by mouse, as a user would. The window stays in the normal state."""
    phone = Phone()
    program = Program(desktop, binary, [phone.path])
    program.connect_first()
    answer = phone.exchange(b"AT+CGMR\r")
    if answer != b"OK\r\n":
        raise RuntimeError(f"the program answered AT+CGMR with {answer!r}, expected b'OK\\r\\n'")
    return program, phone


class Reference:
    """The reference responder on its own pseudo-terminal."""

    def __init__(self, binary):
        self.phone = Phone()
        self.proc = subprocess.Popen([binary, self.phone.path], stdout=subprocess.PIPE, text=True)
        ready = self.proc.stdout.readline().strip()
        if ready != "ready":
            self.close()
            raise RuntimeError(f"the reference responder did not start (said {ready!r})")
        answer = self.phone.exchange(b"AT+CGMR\r")
        if answer != b"OK\r\n":
            self.close()
            raise RuntimeError(f"the reference responder answered {answer!r}")

    @property
    def pid(self):
        return self.proc.pid

    def close(self):
        self.phone.close()
        if self.proc.poll() is None:
            self.proc.terminate()
        self.proc.wait(5)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def parse_report(line):
    """A "total ..." or "block ..." line of the client as a dict."""
    kind, *pairs = line.split()
    values = {"kind": kind}
    for pair in pairs:
        key, value = pair.split("=", 1)
        values[key] = float(value) if "." in value else int(value)
    return values


def client_argv(client, phone, count, warmup=0, lines=(KEYPAD_C,), block=0, gap_us=0):
    argv = [client, "--fd", str(phone.controller), "--count", str(count),
            "--warmup", str(warmup), "--gap-us", str(gap_us)]
    for line in lines:
        argv += ["--line", line]
    if block:
        argv += ["--block", str(block)]
    return argv


def run_client(client, phone, count, warmup=0, lines=(KEYPAD_C,), gap_us=0, samples=None):
    """Runs the client to completion; returns its "total" figures. With
    `samples` (a list), each round trip's time in nanoseconds is appended."""
    argv = client_argv(client, phone, count, warmup, lines, gap_us=gap_us)
    with tempfile.NamedTemporaryFile("r") as dump:
        if samples is not None:
            argv += ["--samples", dump.name]
        res = subprocess.run(argv, pass_fds=(phone.controller,), capture_output=True, text=True)
        if res.returncode != 0:
            raise RuntimeError(f"the client failed: {res.stderr.strip()}")
        if samples is not None:
            samples.extend(int(line) for line in dump)
    return parse_report(res.stdout.strip().splitlines()[-1])


def latency_figures(samples_ns):
    """Median, 99th percentile (nearest rank, as the client computes them),
    mean and maximum of round trips, in microseconds."""
    ordered = sorted(samples_ns)
    n = len(ordered)

    def rank(fraction):
        return ordered[min(n, max(1, math.ceil(n * fraction))) - 1] / 1000

    return {"median_us": rank(0.5), "p99_us": rank(0.99),
            "mean_us": sum(ordered) / n / 1000, "max_us": ordered[-1] / 1000}


def stream_client(client, phone, count, block, lines):
    """Starts the client with block reports; yields each report as it comes."""
    proc = subprocess.Popen(client_argv(client, phone, count, 0, lines, block),
                            pass_fds=(phone.controller,), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    try:
        for line in proc.stdout:
            yield parse_report(line)
    finally:
        if proc.poll() is None:
            proc.wait()
        if proc.returncode != 0:
            raise RuntimeError(f"the client failed: {proc.stderr.read().strip()}")


def table(rows, header):
    """Formats rows of cells as right-aligned columns, the first left-aligned."""
    cells = [header] + [[str(c) for c in row] for row in rows]
    widths = [max(len(row[i]) for row in cells) for i in range(len(header))]
    lines = []
    for n, row in enumerate(cells):
        lines.append("  ".join(row[i].ljust(widths[i]) if i == 0 else row[i].rjust(widths[i])
                               for i in range(len(row))))
        if n == 0:
            lines.append("  ".join("-" * w for w in widths))
    return "\n".join(lines)
