"""The accessory tool where the end-to-end tests cannot reach it."""

import os
import select
import subprocess
import sys
import time
import tty
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from desktop import wait_until  # noqa: E402

TOOL = os.environ["TAVLUN_ACCESSORY"]
HELLO = b"AT+CGMR\r"


def kpd(keys):
    return b'AT+CKPD="' + keys + b'"\r'


def tool(*arguments, stdin=b""):
    typed, keyboard = os.pipe()
    os.write(keyboard, stdin)
    os.close(keyboard)
    proc = subprocess.Popen([TOOL, *arguments], stdin=typed, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    os.close(typed)
    return proc


def finish(proc):
    """Exit status, stdout and stderr of a tool that must end within 10 s."""
    try:
        out, err = proc.communicate(timeout=10)
    finally:
        proc.kill()
    return proc.returncode, out.decode(), err.decode()


def raw_open(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    return fd


class Phone:
    """The phone's end of a terminal: reads command lines, answers them."""

    def __init__(self, fd):
        self.fd, self.pending = fd, b""

    def line(self, timeout=10):
        deadline = time.monotonic() + timeout
        while b"\r" not in self.pending and time.monotonic() < deadline:
            if select.select([self.fd], [], [], 0.05)[0]:
                try:
                    chunk = os.read(self.fd, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                self.pending += chunk
        line, cr, self.pending = self.pending.partition(b"\r")
        return line + cr if cr else b""

    def answer_all(self, test):
        lines = []
        while line := self.line(2):
            lines.append(line)
            test.assertEqual(self.pending, b"", f"sent before the answer to {line!r}")
            os.write(self.fd, b"OK\r\n")
        return lines


class Accessory(unittest.TestCase):
    def device(self):
        controller, device = os.openpty()
        tty.setraw(device)
        self.addCleanup(os.close, device)
        return Phone(controller), os.ttyname(device)

    def test_command_line_mistakes_exit_2_and_name_them(self):
        for arguments, message in (
                (["--bogus"], "unknown option --bogus"),
                (["--pty", "--timeout"], "missing value for --timeout"),
                (["--pty", "--chunk", "x"], "not a number of the right size for --chunk: x"),
                (["--pty", "--pause", "-1"], "not a number of the right size for --pause: -1"),
                (["Hi"], "give either --device PATH or --pty"),
                (["--pty", "--device", "/dev/null"], "give either --device PATH or --pty"),
                (["--device", "/dev/null", "--wait-for-peer"], "--wait-for-peer needs --pty")):
            status, out, err = finish(tool(*arguments))
            self.assertEqual((status, out), (2, ""), arguments)
            self.assertIn(message, err, arguments)

    def test_a_command_without_answer_is_named_and_nothing_follows(self):
        phone, path = self.device()
        proc = tool("--device", path, "--timeout", "300", "AB")
        self.assertEqual(phone.line(), HELLO)
        # Other lines around the answer, and the answer split, still count.
        os.write(phone.fd, b"\r\nRevision 1\r\nO")
        os.write(phone.fd, b"K\r\n")
        self.assertEqual(phone.line(), kpd(b"2"))
        os.write(phone.fd, b"ERROR\r\nOK\r\n")
        self.assertEqual(phone.line(), kpd(b"22"))
        status, _, err = finish(proc)
        self.assertEqual(status, 1)
        self.assertIn('no answer within 300 ms at command 3, AT+CKPD="22" '
                      '(input line 1, position 2: "B")', err)
        self.assertEqual(phone.line(0.2), b"")
        self.assertEqual(phone.pending, b"")

    def test_characters_on_no_key_are_reported_and_skipped(self):
        phone, path = self.device()
        proc = tool("--device", path, "--enter-per-line", stdin="a€~b\n{clear}x".encode() + b"\xff\n")
        self.assertEqual(phone.answer_all(self), [HELLO, kpd(b"2"), kpd(b"22"), kpd(b"s"),
                                                  kpd(b"c"), kpd(b"99"), kpd(b"s")])
        status, _, err = finish(proc)
        self.assertEqual(status, 0)
        for report in ('input line 1, position 2: "€" (U+20AC) is on no key; skipped',
                       'input line 1, position 3: "~" (U+007E) is on no key; skipped',
                       "input line 2, position 3: byte 0xFF is not UTF-8; skipped"):
            self.assertIn(report, err)

    def test_a_hang_up_ends_the_run_with_a_message(self):
        phone, path = self.device()
        proc = tool("--device", path, "AB")
        self.assertEqual(phone.line(), HELLO)
        os.write(phone.fd, b"OK\r\n")
        self.assertEqual(phone.line(), kpd(b"2"))
        os.close(phone.fd)
        status, _, err = finish(proc)
        self.assertEqual(status, 1)
        self.assertIn("hung up", err)
        self.assertIn('command 2, AT+CKPD="2"', err)

    def test_its_own_terminal_waits_for_a_program_and_outlives_a_scan(self):
        proc = tool("--pty", "--wait-for-peer", "--timeout", "200", "A")
        self.addCleanup(proc.kill)
        path = proc.stdout.readline().decode().removeprefix("device: ").strip()
        os.set_blocking(proc.stderr.fileno(), False)
        err = bytearray()

        def said(text):
            err.extend(proc.stderr.read() or b"")
            return text in err.decode()
        wait_until(lambda: said("waiting for a program to open"), 10, "the wait")
        # Nobody there: the time-out for AT+CGMR has not started.
        self.assertRaises(subprocess.TimeoutExpired, proc.wait, 1)
        # A port scan opens the device, reads, and closes it again.
        scan = raw_open(path)
        self.assertEqual(Phone(scan).line(), HELLO)
        os.close(scan)
        wait_until(lambda: said("waiting for it to open again"), 10, "the wait again")
        fd = raw_open(path)
        self.addCleanup(os.close, fd)
        self.assertEqual(Phone(fd).answer_all(self), [HELLO, kpd(b"2")])
        self.assertEqual(proc.wait(10), 0, err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
