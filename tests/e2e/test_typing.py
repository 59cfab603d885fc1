"""Typing on the virtual accessory into the real program: into its text box while the window is shown, into the
focused client while it is minimised (xev under Xvfb) or in the scratchpad (wev under headless sway, xev under i3);
chunked lines; reconnecting."""

import os
import unittest

from desktop import I3Desktop, SwayDesktop, wait_until
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


class Scratchpad:  # sway and i3: the scratchpad stands for minimised, "scratchpad show" for restored
    def hide_and_show(self, msg, window, accessory, recorder, line, typed, text_box):  # `msg`: i3-msg or swaymsg
        desktop = self.program.desktop
        desktop.run([msg, f"[{window}] move scratchpad"])
        wait_until(lambda: accessory.type("{CLEAR}") or recorder.text(1, 3) == "<BackSpace>", 20,
                   "a key at the focused client, the program's window in the scratchpad")  # until the program
        # learns where its window is; its text box is empty meanwhile
        accessory.type(line + "{CLEAR}{SEND}")
        self.assertEqual(recorder.text(len(line) + 2, 20), typed + "<BackSpace><Return>",
                         "the client saw:\n" + "\n".join(recorder.lines[-40:]))
        desktop.run([msg, "scratchpad show"])  # focused again: the end key, until the program learns, comes as Escape
        wait_until(lambda: accessory.type("{END}") or text_box().endswith(" {No} "), 20,
                   lambda: f"the end key in the text box; the program said {self.program.said()}")
        accessory.type("Son{SEND}")
        wait_until(lambda: text_box().endswith(" {No} SON {Yes} "), 20, "the keys in the text box")
        self.assertEqual(recorder.quiet(), "")
        self.assertEqual(accessory.close(), 0, "the accessory's exit status, every key answered")


class Sway(unittest.TestCase, Scratchpad):
    def test_in_the_scratchpad_into_a_wayland_client_in_each_layout_and_shown_into_the_text_box(self):
        for layout in ("us", "de", "tr"):  # each from sway's start: a layout set later replaces every keyboard's keymap
            with self.subTest(layout=layout):
                desktop = SwayDesktop(layout)
                self.addCleanup(desktop.close)
                wev, accessory = WevRecorder(desktop), Accessory(desktop, ACCESSORY)
                self.program = Program(desktop, BINARY, [], options=("--connect", accessory.path), native=True)
                self.assertEqual([(n["shell"], n["app_id"]) for n in self.program.views()],
                                 [("xdg_shell", "org.example.Tavlun")], "a native window, named by the desktop file")

                def text_box():  # the focused window's, through the clipboard (what it held before, if no copy yet)
                    desktop.run(desktop.as_user(["wtype", "-M", "ctrl", "-k", "a", "-k", "c", "-m", "ctrl"]))
                    return desktop.run(desktop.as_user(["wl-paste", "-n"]), check=False)
                # Letters tr lacks beside ones it has; the keys give capitals.
                self.hide_and_show("swaymsg", f"con_id={self.program.window}", accessory, wev, "Çok güzel ÅÆØ ß",
                                   "ÇOK GÜZEL ÅÆØ ß", text_box)
                desktop.close()


class I3(unittest.TestCase, Scratchpad):
    def test_in_the_scratchpad_into_an_x11_client_and_shown_into_the_text_box(self):
        desktop = I3Desktop()
        self.addCleanup(desktop.close)
        accessory = Accessory(desktop, ACCESSORY)
        self.program = Program(desktop, BINARY, [], options=("--connect", accessory.path))
        self.hide_and_show("i3-msg", f"id={self.program.window}", accessory, KeyRecorder(desktop), "Çok güzel",
                           "ÇOK GÜZEL", lambda: text_box_contents(self.program))
