"""Typing on the virtual accessory into the real program: into its text box
while the window is normal, into another X client while it is minimised (every
character of the keys, under a layout that lacks some, with Caps Lock on);
chunked and unchunked lines; disconnecting and reconnecting."""

import os
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
        self.desktop.run(["setxkbmap", "tr"])
        self.desktop.key("Caps_Lock")  # locks it
        self.plain.type(KEY_TABLE + "{CLEAR}{SEND}{END}")
        self.assertEqual(recorder.text(len(KEY_TABLE) + 3, 60),
                         KEY_TABLE + "<BackSpace><Return><Escape>",
                         "the recorder saw:\n" + "\n".join(recorder.lines[-40:]))
        self.desktop.key("Caps_Lock")  # unlocks it

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
        def go():
            self.plain.proc.kill()
            self.plain.proc.wait()
            os.unlink(self.plain_link)
        _, text = self.program.failed_pick(go)
        self.assertIn(f"{self.plain_link}: aygıt artık yok", text)
        self.program.connect_first()
        self.chunked.type(SAMPLE)
        self.wait_text_box(as_typed(SAMPLE))


if __name__ == "__main__":
    unittest.main(verbosity=2)
