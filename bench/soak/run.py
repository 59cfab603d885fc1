#!/usr/bin/env python3
"""Soak: a long run of keypad lines through the real program (private Xvfb
desktop, window normal, so each line puts one character into the text box),
each sent as soon as the answer to the one before has come. Compares the
first and the last 10,000 lines (time per line, answer latency, VmRSS), shows
the time per line against the length of the text already in the text box,
and runs the in-process delivery-cost measurement on the same desktop."""

import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import benchlib  # noqa: E402

# The accessory typing "TAVLUN KLAVYE " over and over: one character a line.
TYPED = "TAVLUN KLAVYE "
KEYS = {"T": "8", "A": "2", "V": "888", "L": "555", "U": "88", "N": "66", " ": "1",
        "K": "55", "Y": "999", "E": "33"}
LINES = [f'AT+CKPD="{KEYS[c]}"' for c in TYPED]
LOG_CAP = 32766  # entries the traffic log keeps: two a line


def mib(kib):
    return kib / 1024


def window(blocks, first, last):
    """Figures over the blocks that start in [first, last)."""
    chosen = [b for b in blocks if first <= b["start"] < last]
    lines = sum(b["count"] for b in chosen)
    elapsed = sum(b["elapsed_s"] for b in chosen)
    cpu = chosen[-1]["cpu_s"] - chosen[0]["cpu_before_s"]
    return {"lines": lines,
            "us_per_line": elapsed * 1e6 / lines,
            "cpu_us_per_line": cpu * 1e6 / lines,
            "median_us": sorted(b["median_us"] for b in chosen)[len(chosen) // 2],
            "p99_us": max(b["p99_us"] for b in chosen),
            "rss_kib": chosen[-1]["rss_kib"]}


def main():
    parser = benchlib.arguments(__doc__.splitlines()[0])
    parser.add_argument("--count", type=int,
                        default=int(os.environ.get("TAVLUN_SOAK_LINES", 1_000_000)),
                        help="lines in the soak (default 1,000,000, or TAVLUN_SOAK_LINES)")
    parser.add_argument("--window", type=int, default=10000, help="lines in each compared window")
    parser.add_argument("--block", type=int, default=2000, help="lines per report of the client")
    parser.add_argument("--delivery-cost", default=os.path.join(
        benchlib.ROOT, "build-bench", "bench", "soak", "tavlun_delivery_cost"))
    parser.add_argument("--lengths", default="0,1000,10000,100000,500000,1000000",
                        help="starting text lengths for the in-process delivery cost")
    args = parser.parse_args()
    benchlib.check_binaries(args)
    if args.count < 2 * args.window or args.window % args.block or args.count % args.block:
        sys.exit("--count must be at least two windows, and windows and count whole blocks")

    with benchlib.Desktop() as desktop:
        program, phone = benchlib.connected_program(desktop, args.program)
        pid = program.proc.pid
        rss_start = benchlib.rss_kib(pid)
        cpu = benchlib.cpu_seconds(pid)
        blocks = []
        started = time.monotonic()
        try:
            for report in benchlib.stream_client(args.client, phone, args.count, args.block, LINES):
                if report["kind"] != "block":
                    continue
                report["rss_kib"] = benchlib.rss_kib(pid)
                report["cpu_before_s"] = cpu
                report["cpu_s"] = cpu = benchlib.cpu_seconds(pid)
                blocks.append(report)
                done = report["start"] + report["count"]
                if done % (10 * args.block) == 0:
                    print(f"  {done} lines, {time.monotonic() - started:.0f} s, "
                          f"{report['per_line_us']:.0f} us/line, VmRSS {mib(report['rss_kib']):.1f} MiB",
                          file=sys.stderr, flush=True)
        finally:
            phone.close()
        wall = time.monotonic() - started

        cost = subprocess.run([args.delivery_cost, "--lengths", args.lengths],
                              env=desktop.env, capture_output=True, text=True)

    first = window(blocks, 0, args.window)
    last = window(blocks, args.count - args.window, args.count)
    print(f"soak: {args.count} keypad lines through the program (typing {TYPED!r} over and over), "
          f"each after the previous answer; window normal; {wall:.0f} s in all")
    rows = [
        ["time per line (us)", f"{first['us_per_line']:.0f}", f"{last['us_per_line']:.0f}",
         f"{last['us_per_line'] / first['us_per_line']:.2f}"],
        ["processor time per line (us)", f"{first['cpu_us_per_line']:.0f}",
         f"{last['cpu_us_per_line']:.0f}",
         f"{last['cpu_us_per_line'] / first['cpu_us_per_line']:.2f}"],
        ["answer latency median (us, median of blocks)", f"{first['median_us']:.0f}",
         f"{last['median_us']:.0f}", f"{last['median_us'] / first['median_us']:.2f}"],
        ["answer latency p99 (us, worst block)", f"{first['p99_us']:.0f}",
         f"{last['p99_us']:.0f}", f"{last['p99_us'] / first['p99_us']:.2f}"],
        ["VmRSS at the window's end (MiB)", f"{mib(first['rss_kib']):.1f}",
         f"{mib(last['rss_kib']):.1f}", f"{last['rss_kib'] / first['rss_kib']:.2f}"],
    ]
    print(benchlib.table(rows, ["", f"first {args.window}", f"last {args.window}", "last/first"]))

    cap_lines = LOG_CAP // 2
    after_cap = [b for b in blocks if b["start"] >= cap_lines]
    print(f"VmRSS: {mib(rss_start):.1f} MiB connected and idle; the log is full from line "
          f"{cap_lines}", end="")
    if len(after_cap) >= 2:
        span = after_cap[-1]["start"] - after_cap[0]["start"]
        growth = after_cap[-1]["rss_kib"] - after_cap[0]["rss_kib"]
        print(f"; from then on {growth / span * 1000:.1f} KiB per 1000 lines "
              f"({mib(after_cap[0]['rss_kib']):.1f} -> {mib(after_cap[-1]['rss_kib']):.1f} MiB)")
    else:
        print()

    # Each line adds one character, so a block starting at line n starts with
    # n characters in the text box.
    marks = sorted({0, 100000, 500000, args.count - args.block}
                   | {args.count // 4 // args.block * args.block,
                      args.count // 2 // args.block * args.block})
    by_start = {b["start"]: b for b in blocks}
    base = by_start[0]["per_line_us"]
    print(f"time per line through the program against the text already in the text box "
          f"({args.block}-line blocks; reference: the block at 0 characters)")
    rows = [[f"{m} chars", f"{by_start[m]['per_line_us']:.0f}", f"{by_start[m]['median_us']:.0f}",
             f"{by_start[m]['per_line_us'] / base:.2f}"] for m in marks if m in by_start]
    print(benchlib.table(rows, ["text in the text box", "us/line", "median us", "x at 0 chars"]))

    print("delivery cost in the main window, in process on the same desktop:")
    print(cost.stdout.rstrip() if cost.returncode == 0 else
          f"tavlun_delivery_cost failed ({cost.returncode}): {cost.stderr.strip()}")


if __name__ == "__main__":
    main()
