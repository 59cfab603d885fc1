#!/usr/bin/env python3
"""Sustained throughput: keypad command lines sent back to back, each as soon
as the answer to the one before has come, to the real program (private Xvfb
desktop, window normal, so every line also puts a character into the text
box) and, in the same run, to the bare reference responder. Prints lines per
second, processor time per line (utime + stime from /proc/<pid>/stat, before
and after) and both against the 9600-baud line's own limit."""

import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import benchlib  # noqa: E402


def measure(client, phone, pid, count, warmup):
    if warmup:
        benchlib.run_client(client, phone, warmup)
    cpu_before = benchlib.cpu_seconds(pid)
    result = benchlib.run_client(client, phone, count)
    cpu_after = benchlib.cpu_seconds(pid)
    return {"lines_per_s": count / result["elapsed_s"],
            "cpu_us_per_line": (cpu_after - cpu_before) * 1e6 / count}


def main():
    parser = benchlib.arguments(__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=5000, help="lines measured")
    parser.add_argument("--warmup", type=int, default=500, help="lines before measuring")
    args = parser.parse_args()
    benchlib.check_binaries(args)

    with benchlib.Desktop() as desktop:
        program, phone = benchlib.connected_program(desktop, args.program)
        try:
            measured = measure(args.client, phone, program.proc.pid, args.count, args.warmup)
        finally:
            phone.close()
    with benchlib.Reference(args.responder) as reference:
        floor = measure(args.client, reference.phone, reference.pid, args.count, args.warmup)

    line_bytes = len(benchlib.KEYPAD_C) + 1
    limit = benchlib.LINE_BYTES_PER_SECOND / line_bytes
    print(f"throughput: {benchlib.KEYPAD_C}\\r ({line_bytes} bytes) back to back, each after "
          f"the previous answer, {args.count} lines after {args.warmup} warm-up; "
          f"program window normal, so the text box grows from {args.warmup} to "
          f"{args.warmup + args.count} characters meanwhile")
    print(f"9600-baud limit: 960 bytes/s / {line_bytes} bytes = {limit:.1f} lines/s "
          f"({1e6 / limit:.0f} us of line time per line)")
    rows = []
    for name, r in (("program", measured), ("reference responder", floor)):
        rows.append([name, f"{r['lines_per_s']:.0f}", f"{r['cpu_us_per_line']:.1f}",
                     f"{r['lines_per_s'] / limit:.1f}",
                     f"{r['lines_per_s'] / floor['lines_per_s']:.3f}"])
    print(benchlib.table(rows, ["", "lines/s", "CPU us/line", "x 9600-baud limit",
                                "x reference"]))
    print(f"program CPU per line / reference CPU per line: "
          f"{measured['cpu_us_per_line'] / floor['cpu_us_per_line']:.1f}"
          if floor["cpu_us_per_line"] > 0 else
          "reference CPU per line below the clock-tick resolution")


if __name__ == "__main__":
    main()
