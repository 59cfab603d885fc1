"""The real program under Xvfb with a window manager: connecting by mouse,
the dialogue on a pseudo-terminal, and a device that goes away."""

import os
import unittest

from desktop import wait_until
from program import BLUE, Program, desktop_with_phones

BINARY = os.environ["TAVLUN_BINARY"]


class Connection(unittest.TestCase):
    def setUp(self):
        self.desktop, self.phones = desktop_with_phones(self)
        self.program = Program(self.desktop, BINARY, [p.path for p in self.phones])

    def test_pick_with_the_mouse_and_answer(self):
        self.assertNotEqual(self.program.indicator(), BLUE)
        self.program.pick_first()
        box = self.desktop.wait_window("Port Aç", 5)
        self.assertEqual(self.desktop.title(box), "Port Aç",
                         "the window manager shows the message box's own title")
        self.program.answer_connect()
        wait_until(lambda: self.program.indicator() == BLUE, 5, "the indicator to turn blue")

        before = self.program.prompt_pixels()
        phone = self.phones[0]
        self.assertEqual(phone.exchange(b"AT+CGMR\r"), b"OK\r\n")
        wait_until(lambda: self.program.prompt_pixels() != before, 3, "the prompt to change")
        self.assertEqual(phone.exchange(b'AT+CKPD="222"\r'), b"OK\r\n")
        self.assertEqual(phone.read(1, 0.3), b"", "nothing is sent but the answers")

    def test_far_end_closing_resets_without_spinning(self):
        self.program.connect_first()
        self.assertEqual(self.phones[0].exchange(b"AT+CGMR\r"), b"OK\r\n")

        self.phones[0].close()  # the device goes away
        # The loss is noticed as it happens, with nothing more on the line;
        # the deadline only bounds a test that would otherwise hang.
        wait_until(lambda: self.program.indicator() != BLUE, 5, "the reset after the loss")

        self.assertLess(self.program.busy_seconds(), 0.3, "the program spins after the loss")
        self.assertTrue(self.program.alive())

        # The list was probed again: the remaining device is now its first entry.
        self.program.connect_first()
        self.assertEqual(self.phones[1].exchange(b"AT+CGMR\r"), b"OK\r\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
