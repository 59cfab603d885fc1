#!/usr/bin/env python3
"""Answer latency under wine: from writing a keypad command line (its
carriage return last) to reading back "OK\\r\\n", over pseudo-terminals
mapped as COM ports. tavlun.exe runs connected by mouse, its window in the
normal state (every line also puts a character into its text box); the
reference is a bare Win32 read-and-write loop (tavlun_bare_responder.exe),
under the same wine, with the same reads. The same client (the Linux
benchmark's) measures both in the same run, taking turns, with the line idle
before each command and back to back."""

import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(ROOT, "bench", "common"), os.path.join(ROOT, "tests", "windows"),
                os.path.join(ROOT, "tests", "windows", "e2e")]
import benchlib  # noqa: E402
import wine_session  # noqa: E402


def main():
    parser = argparse_parser()
    args = parser.parse_args()
    exe = os.path.join(args.windows_build, "app", "windows", "tavlun.exe")
    responder = os.path.join(args.windows_build, "bench", "windows", "tavlun_bare_responder.exe")
    for path in (exe, responder, args.client):
        if not os.path.exists(path):
            sys.exit(f"missing {path}: run scripts/build-windows and build the Linux benchmarks (bench/README.md)")
    modes, rounds, per_round, measured, floor = benchlib.turns(args)

    session = os.path.join(tempfile.mkdtemp(prefix="tavlun-bench-"), "session.env")
    wine_session.start(session)
    os.environ.update(TAVLUN_WINE_SESSION=session, TAVLUN_EXE=exe)
    from winesession import WineDesktop  # noqa: E402
    from program import Phone  # noqa: E402
    desktop, phones = WineDesktop(), [Phone(), Phone()]
    try:
        program_phone, reference_phone = phones
        desktop.map_port("COM1", program_phone.path)
        desktop.map_port("COM2", reference_phone.path)
        program = desktop.program()
        program.connect_first()
        reference = desktop.start(["wine", responder, "COM2"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        if reference.stdout.readline().strip() != b"ready":
            sys.exit("the bare responder did not start")
        for phone in phones:
            answer = phone.exchange(b"AT+CGMR\r", 5)
            if answer != b"OK\r\n":
                sys.exit(f"AT+CGMR was answered {answer!r}")
        for name, gap in modes:
            for phone in phones:
                benchlib.run_client(args.client, phone, args.warmup, gap_us=gap)
            for _ in range(rounds):
                benchlib.run_client(args.client, program_phone, per_round, gap_us=gap, samples=measured[name])
                benchlib.run_client(args.client, reference_phone, per_round, gap_us=gap, samples=floor[name])
    finally:
        desktop.close()
        for phone in phones:
            phone.close()
        wine_session.stop(session)

    print(f"answer latency under wine: {benchlib.KEYPAD_C}\\r -> OK\\r\\n over pseudo-terminals as COM ports, "
          f"{rounds * per_round} round trips after {args.warmup} warm-up, per run, tavlun.exe and the bare "
          f"Win32 loop taking turns {per_round} at a time")
    rows = []
    for name, _ in modes:
        p, r = benchlib.latency_figures(measured[name]), benchlib.latency_figures(floor[name])
        for who, f in ((f"tavlun.exe, {name}", p), (f"bare Win32 loop, {name}", r)):
            rows.append([who] + [f"{f[k]:.1f}" for k in ("median_us", "p99_us", "mean_us", "max_us")])
        rows.append([f"ratio tavlun.exe/bare loop, {name}"]
                    + [f"{p[k] / r[k]:.2f}" for k in ("median_us", "p99_us", "mean_us", "max_us")])
    print(benchlib.table(rows, ["", "median us", "p99 us", "mean us", "max us"]))


def argparse_parser():
    import argparse
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--windows-build", default=os.path.join(ROOT, "build-windows"))
    parser.add_argument("--client", default=os.path.join(ROOT, "build", "bench", "answer_latency",
                                                         "tavlun_rtt_client"))
    parser.add_argument("--count", type=int, default=1000, help="measured round trips")
    parser.add_argument("--warmup", type=int, default=100, help="round trips before measuring")
    parser.add_argument("--round", type=int, default=100, help="round trips in each turn")
    parser.add_argument("--gap-ms", type=float, default=5.0, help="idle time before each line in the spaced runs")
    return parser


if __name__ == "__main__":
    main()
