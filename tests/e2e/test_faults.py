"""Faults that the real program must survive: a port held by another
process, floods of junk, an endless line. It stays up, answers the next good
line, keeps its memory bounded and does not spin."""

import os
import random
import threading
import time
import unittest

from desktop import wait_until
from program import BLUE, COMMAND1_CENTRE, PortLock, Program, desktop_with_phones, rss_kib

BINARY = os.environ["TAVLUN_BINARY"]


class Drain(threading.Thread):
    """Reads everything the program sends while the test floods it."""

    def __init__(self, phone):
        super().__init__(daemon=True)
        self.phone = phone
        self.received = bytearray()
        self.stop = False

    def run(self):
        while not self.stop:
            chunk = self.phone.read(1, 0.05)
            self.received += chunk


class Faults(unittest.TestCase):
    def setUp(self):
        self.desktop, self.phones = desktop_with_phones(self)

    def start(self):
        self.program = Program(self.desktop, BINARY, [p.path for p in self.phones])

    def test_port_held_by_another_process_is_listed_once_free(self):
        lock = PortLock(self.phones[0].path)
        self.addCleanup(lock.release)
        self.start()
        # Port 1 is held: the first entry of the list is port 2.
        self.program.connect_first()
        self.assertEqual(self.phones[1].exchange(b"AT+CGMR\r"), b"OK\r\n")
        self.assertEqual(self.phones[0].read(1, 0.2), b"")

        lock.release()
        self.desktop.click(*self.program.client(*COMMAND1_CENTRE))  # disconnect: probes again
        wait_until(lambda: self.program.indicator() != BLUE, 5, "the disconnect")
        self.program.connect_first()
        self.assertEqual(self.phones[0].exchange(b"AT+CGMR\r"), b"OK\r\n")

    def test_floods_and_an_endless_line_leave_it_answering(self):
        self.start()
        self.program.connect_first()
        phone = self.phones[0]
        self.assertEqual(phone.exchange(b"AT+CGMR\r"), b"OK\r\n")
        rss_before = rss_kib(self.program.proc.pid)

        drain = Drain(phone)
        drain.start()
        rng = random.Random(1234)
        junk = bytes(rng.getrandbits(8) for _ in range(1 << 20))       # with carriage returns
        no_cr = bytes(b for b in junk if b != 13)                         # without any
        high = bytes(range(128, 256)) * 512 + b"\0" * 4096 + b"\r"       # above 127 and NUL
        endless = b"AT+CKPD=\"" + b"2" * 100_000 + b"\"\r"
        for blob in (junk, no_cr, high, endless):
            for start in range(0, len(blob), 4096):
                phone.write(blob[start:start + 4096])
        # Let the program catch up, then a good line must still be answered.
        wait_until(lambda: self._quiet(drain), 60, "the program to work through the flood")
        drain.stop = True
        drain.join()
        self.assertTrue(self.program.alive())
        self.assertIn(b"OK\r\n", bytes(drain.received))
        self.assertEqual(set(bytes(drain.received).split(b"OK\r\n")), {b""},
                         "the program sends nothing but answers")

        phone.write(b"\rAT+CGMR\r")
        self.assertEqual(phone.read(8), b"OK\r\n" * 2)
        self.assertLess(self.program.busy_seconds(), 0.3, "the program keeps the processor busy")
        growth = rss_kib(self.program.proc.pid) - rss_before
        # AddressSanitizer keeps freed memory in quarantine (256 MiB).
        bound = 600_000 if os.environ.get("TAVLUN_SANITIZED") == "ON" else 200_000
        self.assertLess(growth, bound, f"resident memory grew by {growth} KiB")

    def _quiet(self, drain):
        before = len(drain.received)
        time.sleep(0.3)
        return len(drain.received) == before and before > 0


if __name__ == "__main__":
    unittest.main(verbosity=2)
