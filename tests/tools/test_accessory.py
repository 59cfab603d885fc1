"""The accessory tool where the end-to-end tests, which run it against the program, cannot reach."""
import os
import select
import subprocess
import time
import unittest

TOOL = os.environ["TAVLUN_ACCESSORY"]


class Accessory(unittest.TestCase):
    def test_command_line_mistakes_exit_2_and_name_them(self):
        for arguments, message in (
                (["--bogus"], "unknown option --bogus"),
                (["--pty", "--timeout"], "missing value for --timeout"),
                (["--pty", "--chunk", "x"], "not a number of the right size for --chunk: x"),
                (["--device", "/dev/null", "--wait-for-peer"], "--wait-for-peer needs --pty")):
            res = subprocess.run([TOOL, *arguments], stdin=subprocess.DEVNULL, capture_output=True,
                                 text=True, timeout=10)
            self.assertEqual((res.returncode, res.stdout, message in res.stderr), (2, "", True),
                             f"{arguments}: {res.stderr}")

    def test_a_phone_that_stops_answering_ends_the_run_named(self):
        controller, device = os.openpty()
        self.addCleanup(os.close, device)
        self.addCleanup(os.close, controller)
        answers = iter([[b"\r\nRevision 1\r\nO", b"K\r\n"], [b"ERROR\r\nOK\r\n"], [b"OK\r\n"]])
        seen = b""  # passed over: lines around an answer, an answer split, input on no key or not UTF-8
        proc = subprocess.Popen([TOOL, "--device", os.ttyname(device), "--timeout", "300",
                                 "--enter-per-line", "a€".encode() + b"\xffb"], stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while (proc.poll() is None and time.monotonic() < deadline) or select.select([controller], [], [], 0)[0]:
            if select.select([controller], [], [], 0.05)[0]:
                seen += (chunk := os.read(controller, 4096))
                for part in next(answers, []) if chunk.endswith(b"\r") else []:
                    os.write(controller, part)
        err = proc.stderr.read().decode()
        self.assertEqual((proc.wait(1), seen), (1, b'AT+CGMR\rAT+CKPD="2"\rAT+CKPD="22"\rAT+CKPD="s"\r'), err)
        for report in ('input line 1, position 2: "€" (U+20AC) is on no key; skipped',
                       "input line 1, position 3: byte 0xFF is not UTF-8; skipped",
                       'no answer within 300 ms at command 4, AT+CKPD="s" (end of input line 1)'):
            self.assertIn(report, err)
