"""The port list as adapters come and go while the program runs. The devices
are links named on the command line before they exist; nine more that never
exist fill the ten port numbers, so that no device of the machine's is listed."""

import os
import unittest

from desktop import wait_until
from program import Program, desktop_with_phones

BINARY = os.environ["TAVLUN_BINARY"]


class PortList(unittest.TestCase):
    def setUp(self):
        self.desktop, self.phones = desktop_with_phones(self, 2)
        self.watched = os.path.join(self.desktop.tmp, "adapters")
        self.hidden = os.path.join(self.desktop.tmp, "unwatched")
        os.mkdir(self.watched)
        os.mkdir(self.hidden)
        self.adapter = os.path.join(self.watched, "adapter")
        absent = [os.path.join(self.watched, f"absent{n}") for n in range(2, 11)]
        self.program = Program(self.desktop, BINARY, [self.adapter] + absent)

    def confirmation_after_down(self):
        """Down on the closed list picks the next entry: the box, if there was one."""
        self.desktop.key("Down", window=self.program.window)
        found = self.desktop.find_windows("Port Aç")
        return found[0] if found else None

    def popup_opens(self, within=1.0):
        """Clicks the list; whether its drop-down shows within `within`."""
        try:
            self.program.popup_entries(timeout=within)
            return True
        except AssertionError:
            return False

    def test_adapters_come_and_go_while_the_program_runs(self):
        # Nothing there: clicking gives the list the focus and opens nothing.
        self.assertFalse(self.popup_opens(), "an empty list opened")

        # Plugged in: listed without opening the list.
        os.symlink(self.phones[0].path, self.adapter)
        box = wait_until(self.confirmation_after_down, 5, "the adapter to be listed")
        self.desktop.activate(box)
        self.desktop.key("Escape")  # No: nothing is connected
        wait_until(lambda: not self.desktop.find_windows("Port Aç"), 5, "the box to close")

        # Pulled out before a pick: opening the list shows nothing.
        os.unlink(self.adapter)
        self.assertFalse(self.popup_opens(), "the pulled adapter is still listed")

        # Plugged in where nothing watches (the link leads through a folder
        # of its own): opening the list probes again and shows it.
        os.symlink(os.path.join(self.hidden, "device"), self.adapter)
        os.symlink(self.phones[1].path, os.path.join(self.hidden, "device"))
        self.program.connect_first()
        self.assertEqual(self.phones[1].exchange(b"AT+CGMR\r"), b"OK\r\n")
        self.assertFalse(self.popup_opens(), "the list opens while connected")


if __name__ == "__main__":
    unittest.main(verbosity=2)
