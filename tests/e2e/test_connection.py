"""The real program under Xvfb with a window manager, on a desktop that says
it is GNOME (which lays out No before Yes): connecting by mouse and Return, a
device that goes away, and the titles of every window at a second showing."""

import os
import unittest

from desktop import wait_until
from program import BLUE, MAIN_TITLE_PATTERN, Program, copy_text, desktop_with_phones

BINARY = os.environ["TAVLUN_BINARY"]
GNOME = {"XDG_CURRENT_DESKTOP": "GNOME"}
COMMAND2_CENTRE = (8 + 52, 208 + 8)


class Connection(unittest.TestCase):
    def setUp(self):
        self.desktop, self.phones = desktop_with_phones(self)

    def test_far_end_closing_resets_the_prompt_and_says_so_once(self):
        self.program = Program(self.desktop, BINARY, [p.link(self.desktop.tmp) for p in self.phones],
                               env=GNOME)
        start_prompt = self.program.prompt_pixels()
        self.program.connect_first()
        self.assertEqual(self.phones[0].exchange(b"AT+CGMR\r"), b"OK\r\n")
        wait_until(lambda: self.program.prompt_pixels() != start_prompt, 3, "the ready prompt")

        lost = self.phones[0].named
        self.phones[0].close()  # the device goes away
        # The loss is noticed as it happens, with nothing more on the line;
        # the deadline only bounds a test that would otherwise hang.
        wait_until(lambda: self.program.indicator() != BLUE, 5, "the reset after the loss")
        wait_until(lambda: self.program.prompt_pixels() == start_prompt, 5,
                   "the prompt's start text")
        self.assertLess(self.program.busy_seconds(), 0.3, "the program spins after the loss")
        self.assertTrue(self.program.alive())
        self.assertEqual(self.program.said(),
                         [f"tavlun: Bağlı aygıt kayboldu: {lost}. Bağlantı kesildi; aygıtı takıp "
                          "portu yeniden seçin."])

        # The list was probed again: the remaining device is now its first entry.
        self.program.connect_first()
        self.assertEqual(self.phones[1].exchange(b"AT+CGMR\r"), b"OK\r\n")

    def test_every_window_keeps_its_own_title_at_a_second_showing(self):
        # With -display instead of DISPLAY, typing into other applications is
        # unavailable, so a key typed while minimised brings the notice.
        desktop = self.desktop
        program = Program(desktop, BINARY, ["-display", desktop.display] + [p.path for p in self.phones],
                          env=dict(GNOME, DISPLAY=None))

        def check(title, showing):
            window = desktop.wait_window(title, 5)
            self.assertEqual(desktop.titles(window), (title, title),
                             f"WM_NAME, _NET_WM_NAME of {title!r} at showing {showing}")
            desktop.activate(window)
            return window

        for showing in (1, 2):
            desktop.activate(program.window)
            desktop.click(*program.client(*COMMAND2_CENTRE))
            check("Hakkında", showing)
            desktop.key("alt+F4")
            wait_until(lambda: not desktop.find_windows("Hakkında"), 5, "the about window to close")
        for showing, answer in ((1, "Escape"), (2, "Return")):
            self.assertNotEqual(program.indicator(), BLUE)
            program.pick_first()
            x, y, w, h = desktop.settled_geometry(check("Port Aç", showing))
            # The label shows the box's line feed and carriage return as two breaks.
            self.assertEqual(copy_text(desktop, x + w // 2, y + h // 6),
                             "Seçilen Port Üzerinden\n\nBağlanmak İstiyormusunuz")
            desktop.key(answer)
            wait_until(lambda: not desktop.find_windows("Port Aç"), 5, "the box to close")
        wait_until(lambda: program.indicator() == BLUE, 5, "the connection: Return answers Yes")
        for title in desktop.titles(program.window):
            self.assertRegex(title, MAIN_TITLE_PATTERN)

        desktop.minimize(program.window)
        self.assertEqual(self.phones[0].exchange(b"AT+CGMR\r"), b"OK\r\n")

        def key_brings_notice():
            # Keys until the program has seen the window minimised.
            self.assertEqual(self.phones[0].exchange(b'AT+CKPD="2"\r'), b"OK\r\n")
            return desktop.find_windows("Tavlun")
        [notice] = wait_until(key_brings_notice, 10, "the typing notice")
        self.assertEqual(desktop.titles(notice), ("Tavlun", "Tavlun"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
