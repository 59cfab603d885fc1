"""Typing on the virtual accessory into the real program: into its text box while the window is shown, into the
focused client while it is minimised (xev under Xvfb, wev under headless sway); chunked lines; reconnecting."""

import os
import unittest

from desktop import SwayDesktop, wait_until
from program import BLUE, DISCONNECT_CENTRE, Accessory, Program, desktop_with_phones, text_box_contents
from recorders import KeyRecorder, WevRecorder

BINARY, ACCESSORY = os.environ["TAVLUN_BINARY"], os.environ["TAVLUN_ACCESSORY"]
# Every character that the accessory's keys make, once each; the arrow keys come out as < and >.
KEY_TABLE = "+&@/%$£0 -?!,.:'()1ABCÅÁÆâÇ2DEFèÉ3GHIì4JKL5MNOÑÖØÒ6PQRSß7TUVÜÙ8WXYZ9#*<>"


def wait_text_box(program, expected):
    wait_until(lambda: text_box_contents(program) == expected, 20, f"the text box to read {expected!r}")


class Typing(unittest.TestCase):
    def test_chunked_lines_into_the_text_box_and_the_other_client_and_reconnecting(self):
        desktop, [gone] = desktop_with_phones(self, 1)
        accessory = Accessory(desktop, ACCESSORY, "--chunk", "2", "--pause", "1", "--separate-cr")
        gone_link = os.path.join(desktop.tmp, "gone")  # the first port: a new terminal could reuse the phone's number
        os.symlink(gone.path, gone_link)
        program = Program(desktop, BINARY, [gone_link, accessory.path])
        text = program.failed_pick(lambda: (gone.close(), os.unlink(gone_link)))  # gone while the list is open
        self.assertIn(f"{gone_link}: aygıt artık yok", text)
        program.connect_first()  # the accessory, the first port now
        accessory.type(KEY_TABLE)
        wait_text_box(program, KEY_TABLE)
        desktop.click(*program.client(*DISCONNECT_CENTRE))  # disconnect: the box empties; a key meanwhile comes first
        wait_until(lambda: program.indicator() != BLUE, 5, "the disconnect")
        accessory.type("X")
        program.connect_first()
        accessory.type("Yeni")
        wait_text_box(program, "XYENI")
        desktop.run(["xdotool", "windowminimize", "--sync", str(program.window)])  # keys go to the focused client
        recorder = KeyRecorder(desktop)
        accessory.type(KEY_TABLE + "{CLEAR}{SEND}{END}")
        self.assertEqual(recorder.text(len(KEY_TABLE) + 3, 60), KEY_TABLE + "<BackSpace><Return><Escape>",
                         "the recorder saw:\n" + "\n".join(recorder.lines[-40:]))
        desktop.activate(program.window)  # restored: into the text box, nothing to the client
        wait_until(lambda: "_NET_WM_STATE_HIDDEN" not in desktop.window_state(program.window), 5,
                   "the window to be restored")
        accessory.type("Son")
        wait_text_box(program, "XYENISON")
        self.assertEqual(recorder.quiet(), "")


class Sway(unittest.TestCase):
    def test_minimised_into_a_wayland_client_and_a_native_window_without_xwayland(self):
        desktop = SwayDesktop(layout="tr")
        self.addCleanup(desktop.close)
        wev, accessory = WevRecorder(desktop), Accessory(desktop, ACCESSORY)
        program = Program(desktop, BINARY, [accessory.path])
        program.connect_first()
        desktop.run(["swaymsg", '[title="^Tavlun"] move scratchpad'])  # and minimised, as the README says
        desktop.run(["xdotool", "search", "--onlyvisible", "--name", "^Tavlun", "windowminimize"])
        wait_until(lambda: "Iconic" in desktop.window_state(program.window), 15, "minimised")
        wev.wait_focus()
        wait_until(lambda: accessory.type("{CLEAR}") or wev.text(1, 3) == "<BackSpace>", 20,
                   lambda: f"a key in wev; the program said {program.said()}")  # until it knows it is minimised
        line, typed = "Çok güzel ÅÆØ ß", "ÇOK GÜZEL ÅÆØ ß"  # letters tr lacks beside ones it has; keys give capitals
        accessory.type(line + "{CLEAR}{SEND}")
        self.assertEqual(wev.text(len(line) + 2, 20), typed + "<BackSpace><Return>",
                         "wev saw:\n" + "\n".join(wev.lines[-40:]))
        self.assertEqual(accessory.close(), 0, "the accessory's exit status, every key answered")
        desktop.start([BINARY], env={"DISPLAY": None})  # without XWayland: a native window, named by the desktop file
        wait_until(lambda: '"app_id": "org.example.Tavlun"' in desktop.run(["swaymsg", "-t", "get_tree"]), 15,
                   "a native window with the desktop file's name")
