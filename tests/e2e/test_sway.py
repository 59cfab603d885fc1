"""The real program under headless sway types into a native Wayland client
while its window is in the scratchpad and minimised (as the README says),
and into its own text box once the window is shown again."""

import os
import unittest

from desktop import SwayDesktop, wait_until
from program import Accessory, Program, text_box_contents
from recorders import WevRecorder

BINARY = os.environ["TAVLUN_BINARY"]
ACCESSORY = os.environ["TAVLUN_ACCESSORY"]

# Letters that the Turkish layout lacks (Å, Æ, Ø, ß) beside ones it has.
LINE = "Çok güzel ÅÆØ ß"
AS_TYPED = "ÇOK GÜZEL ÅÆØ ß"


class Sway(unittest.TestCase):
    def test_minimised_into_wayland_client_then_into_text_box(self):
        desktop = SwayDesktop(layout="tr")
        self.addCleanup(desktop.close)
        wev = WevRecorder(desktop)
        accessory = Accessory(desktop, ACCESSORY)
        self.addCleanup(accessory.close)
        program = Program(desktop, BINARY, [accessory.path])
        program.connect_first()

        desktop.run(["swaymsg", '[title="^Tavlun"] move scratchpad'])
        desktop.run(["xdotool", "search", "--onlyvisible", "--name", "^Tavlun", "windowminimize"])
        wait_until(lambda: "Iconic" in desktop.window_state(program.window), 15, "minimised")
        wev.wait_focus()
        accessory.type(LINE + "{CLEAR}{SEND}")
        self.assertEqual(wev.text(len(AS_TYPED) + 2, 20), AS_TYPED + "<BackSpace><Return>",
                         "wev saw:\n" + "\n".join(wev.lines[-40:]))

        desktop.run(["swaymsg", '[title="^Tavlun"] scratchpad show'])
        wait_until(lambda: "Normal" in desktop.window_state(program.window), 15, "shown")
        accessory.type("Son")
        # The harness copies the text box out with XTest keys (Ctrl+A, Ctrl+C),
        # which XWayland reads through the keymap of the seat's latest
        # keyboard: the program's own, which has no Control key. A layout of
        # XWayland's own puts one back.
        desktop.run(["setxkbmap", "us"])
        wait_until(lambda: text_box_contents(program) == "SON", 20, "the text box to read 'SON'")
        self.assertEqual(wev.quiet(), "")
        self.assertEqual(accessory.close(), 0, "the accessory's exit status, every key answered")


if __name__ == "__main__":
    unittest.main(verbosity=2)
