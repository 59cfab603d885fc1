#!/usr/bin/env python3
"""Answer latency: from writing a keypad command line (its carriage return
last) to reading back "OK\\r\\n", over a pseudo-terminal. The real program runs
on a private Xvfb desktop, connected by mouse, its window in the normal state
(so every line also puts a character into the text box); the reference is a
bare responder in C on the same kind of pseudo-terminal. The same client
measures both in the same run, twice: with the line idle for a while before
each command (as when someone types), and back to back, where a line can
arrive while the previous one is still being shown."""

import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import benchlib  # noqa: E402


def main():
    parser = benchlib.arguments(__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=2000, help="measured round trips")
    parser.add_argument("--warmup", type=int, default=200, help="round trips before measuring")
    parser.add_argument("--round", type=int, default=100,
                        help="round trips in each turn of the program and the reference")
    parser.add_argument("--gap-ms", type=float, default=5.0,
                        help="idle time before each line in the spaced runs")
    args = parser.parse_args()
    benchlib.check_binaries(args)
    modes, rounds, per_round, measured, floor = benchlib.turns(args)

    # The program and the reference take turns, a short round each, so
    # that both see the same load on a shared machine.
    with benchlib.Desktop() as desktop, benchlib.Reference(args.responder) as reference:
        program, phone = benchlib.connected_program(desktop, args.program)
        try:
            for name, gap in modes:
                for side in (phone, reference.phone):
                    if args.warmup:
                        benchlib.run_client(args.client, side, args.warmup, gap_us=gap)
                for _ in range(rounds):
                    benchlib.run_client(args.client, phone, per_round, gap_us=gap,
                                        samples=measured[name])
                    benchlib.run_client(args.client, reference.phone, per_round, gap_us=gap,
                                        samples=floor[name])
        finally:
            phone.close()
    measured = {name: benchlib.latency_figures(s) for name, s in measured.items()}
    floor = {name: benchlib.latency_figures(s) for name, s in floor.items()}

    per_run = args.warmup + rounds * per_round
    print(f"answer latency: {benchlib.KEYPAD_C}\\r -> OK\\r\\n over a pseudo-terminal, "
          f"{rounds * per_round} round trips after {args.warmup} warm-up, per run, program "
          f"and reference taking turns {per_round} at a time")
    print(f"program window normal: each line appends C to the text box, which holds 0 to "
          f"{per_run} characters in the first run and {per_run} to {2 * per_run} in the second")
    rows = []
    for name, _ in modes:
        p, r = measured[name], floor[name]
        rows.append([f"program, {name}", f"{p['median_us']:.1f}", f"{p['p99_us']:.1f}",
                     f"{p['mean_us']:.1f}", f"{p['max_us']:.1f}"])
        rows.append([f"reference, {name}", f"{r['median_us']:.1f}", f"{r['p99_us']:.1f}",
                     f"{r['mean_us']:.1f}", f"{r['max_us']:.1f}"])
        rows.append([f"ratio program/reference, {name}",
                     f"{p['median_us'] / r['median_us']:.1f}", f"{p['p99_us'] / r['p99_us']:.1f}",
                     f"{p['mean_us'] / r['mean_us']:.1f}", f"{p['max_us'] / r['max_us']:.1f}"])
    print(benchlib.table(rows, ["", "median us", "p99 us", "mean us", "max us"]))


if __name__ == "__main__":
    main()
