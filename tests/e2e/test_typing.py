"""Typing on the virtual accessory into the real program: into its text box
while the window is normal, into another X client while it is minimised;
chunked and unchunked lines; disconnecting and reconnecting."""

import os
import time
import unittest

from desktop import Desktop, wait_until
from program import BLUE, COMMAND1_CENTRE, Accessory, Program, text_box_contents
from recorders import KeyRecorder

BINARY = os.environ["TAVLUN_BINARY"]
ACCESSORY = os.environ["TAVLUN_ACCESSORY"]

# Every character that the accessory's keys make, once each; the arrow keys
# come out as the characters < and >.
KEY_TABLE = ("+&@/%$£0 -?!,.:'()1ABCÅÁÆâÇ2DEFèÉ3GHIì4JKL5MNOÑÖØÒ6PQRSß7TUVÜÙ8WXYZ9#*<>")

# Letters, accented letters, digits, punctuation and spaces.
SAMPLE = "Merhaba Dünya, çok güzel! 2026 (test) #5* ÅÆØ ß £ è-ì:â?"


def as_typed(text):
    """The key table holds capitals, apart from a few lower-case letters."""
    return "".join(c if c in "âèìß" else c.upper() for c in text)


class Typing(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop()
        self.addCleanup(self.desktop.close)
        self.plain = Accessory(self.desktop, ACCESSORY)
        self.addCleanup(self.plain.close)
        self.chunked = Accessory(self.desktop, ACCESSORY, "--chunk", "2", "--pause", "1",
                                 "--separate-cr")
        self.addCleanup(self.chunked.close)
        # The first port is named by a link of the test's own, taken away
        # with its accessory: a new terminal could reuse the number of the
        # accessory's one.
        self.plain_link = os.path.join(self.desktop.tmp, "plain")
        os.symlink(self.plain.path, self.plain_link)
        self.program = Program(self.desktop, BINARY, [self.plain_link, self.chunked.path])

    def wait_text_box(self, expected):
        wait_until(lambda: text_box_contents(self.program) == expected, 20,
                   f"the text box to read {expected!r}")

    def test_text_box_other_client_and_reconnect(self):
        self.program.connect_first()
        self.plain.type(SAMPLE)
        self.wait_text_box(as_typed(SAMPLE))

        # Disconnect empties the text box; a key typed meanwhile waits in the
        # accessory, which outlives the disconnect, and comes first once the
        # same port connects again.
        self.desktop.click(*self.program.client(*COMMAND1_CENTRE))
        wait_until(lambda: self.program.indicator() != BLUE, 5, "the disconnect")
        self.plain.type("X")
        self.program.connect_first()
        self.plain.type("Yeni")
        self.wait_text_box("XYENI")

        # Minimised: the keys go to the client that has the focus.
        self.desktop.minimize(self.program.window)
        recorder = KeyRecorder(self.desktop)
        self.addCleanup(recorder.close)
        self.plain.type("Ab 9, ç{CLEAR}{SEND}{END}")
        self.assertEqual(recorder.text(10, 20), "AB 9, Ç<BackSpace><Return><Escape>",
                         "the recorder saw:\n" + "\n".join(recorder.lines))

        # Restored: into the text box again, and nothing reaches the client.
        self.desktop.activate(self.program.window)
        wait_until(lambda: "_NET_WM_STATE_HIDDEN" not in self.desktop.window_state(
            self.program.window), 5, "the window to be restored")
        self.plain.type("Son")
        self.wait_text_box("XYENISON")
        self.assertEqual(recorder.quiet(), "")

    def test_chunked_lines_with_a_separate_carriage_return(self):
        # The first port's accessory goes away while the list is open:
        # picking it fails once, and the list probed again starts with the
        # chunked one.
        x, y, w, _ = self.program.popup_entries()
        self.plain.close()
        os.unlink(self.plain_link)
        time.sleep(0.5)  # a list that has just opened ignores a quick click
        self.desktop.click(x + w // 2, y + 10)
        self.program.answer_connect()
        failure = self.desktop.wait_window("Port Hata...", 5)
        self.assertIn(f"{self.plain_link}: aygıt artık yok", self.program.box_text(failure))
        self.desktop.activate(failure)
        self.desktop.key("Return")
        self.program.connect_first()
        self.chunked.type(SAMPLE)
        self.wait_text_box(as_typed(SAMPLE))


class Layouts(unittest.TestCase):
    """Minimised, under keyboard layouts where some characters need another
    level or no key makes them, also with Caps Lock on. (Shift held down is
    left to the injector's own tests: with it held, the window manager may
    take keys for a shortcut of its own.)"""

    def test_every_character_arrives_as_itself(self):
        desktop = Desktop()
        self.addCleanup(desktop.close)
        accessory = Accessory(desktop, ACCESSORY)
        self.addCleanup(accessory.close)
        program = Program(desktop, BINARY, [accessory.path])
        program.connect_first()
        desktop.minimize(program.window)
        recorder = KeyRecorder(desktop)
        self.addCleanup(recorder.close)

        for layout, held in (("us", None), ("tr", "Caps_Lock"), ("de", "Caps_Lock")):
            with self.subTest(layout=layout, held=held):
                desktop.run(["setxkbmap", layout])
                if held:
                    desktop.key(held)  # locks it
                accessory.type(KEY_TABLE + "{CLEAR}")
                got = recorder.text(len(KEY_TABLE) + 1, 60)
                if held:
                    desktop.key(held)  # unlocks it
                self.assertEqual(got, KEY_TABLE + "<BackSpace>")


if __name__ == "__main__":
    unittest.main(verbosity=2)
