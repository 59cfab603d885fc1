"""The XTest backend beside other clients of the X server: their keys and their changes stay theirs."""

import ctypes
import re
import unittest

from desktop import Desktop  # the end-to-end tests' harness, on PYTHONPATH
from recorders import KeyRecorder, TypeDriver as Driver


def key_entry(keymap, keycode):  # the keycode's entry in xkbcomp's text of a keymap; "" when it has none
    name = re.search(rf"(<\w+>)\s*=\s*{keycode};", keymap)[1]
    entry = re.search(rf"key {re.escape(name)} \{{.*?\}};", keymap, re.S)
    return entry[0] if entry else ""


class X11InjectorTest(unittest.TestCase):

    def test_other_clients_keys_are_neither_pressed_for_their_side_effects_nor_undone(self):
        desktop = Desktop()
        self.addCleanup(desktop.close)
        xev = KeyRecorder(desktop)
        keymap = lambda: desktop.run(["xkbcomp", "-xkb", desktop.display, "-"])  # noqa: E731
        loaded = re.sub(r"key <AC01> \{.*?\};", "key <AC01> { symbols[Group1]= [ a, A ], actions[Group1]= "
                        "[ LockMods(modifiers=Lock), NoAction() ] };", keymap(), count=1, flags=re.S)
        loaded = re.sub(r"key <I255> \{.*?\};", "key <I255> { [ NoSymbol ] };", loaded, count=1, flags=re.S)
        # a of us also locks Caps Lock; the last keycode is spare, with a group of no symbols
        desktop.run(["xkbcomp", "-w", "0", "-", desktop.display], input=loaded)
        loaded = keymap()
        driver = Driver(desktop)
        self.assertEqual((driver.type("é", "ñ", "a"), xev.text(3)), ("typed", "éña"))
        desktop.key("b")  # the user's own key, after ours
        self.assertEqual((xev.text(1), xev.modifiers), ("b", 0), "a key that locks Caps Lock was pressed for its a")

        holding = {keysym: re.search(rf"(?m)^keycode\s+(\d+) = {keysym}\b", desktop.run(["xmodmap", "-pke"]))
                   for keysym in ("eacute", "ntilde")}
        self.assertTrue(all(holding.values()), f"not typed by binding spare keycodes: {holding}")
        taken, kept = holding["ntilde"][1], holding["eacute"][1]
        desktop.run(["xmodmap", "-e", f"keycode {taken} = q"])  # another client takes one of them
        self.assertNotIn("problem", driver.close())
        before = key_entry(loaded, kept)
        self.assertIn("NoSymbol", before, f"the first binding went to keycode {kept}, which has no group")
        self.assertEqual(key_entry(keymap(), kept), before, "a bound keycode was not given back as it was")
        self.assertRegex(desktop.run(["xmodmap", "-pke"]), rf"(?m)^keycode\s+{taken} = q\b",
                         "the keycode that another client took after our last key was given back at the end")

    def test_a_group_the_user_latched_is_left_for_the_users_next_key(self):
        desktop = Desktop()
        self.addCleanup(desktop.close)
        xev = KeyRecorder(desktop)
        desktop.run(["setxkbmap", "us,ru"])
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        display = ctypes.c_void_p(x11.XOpenDisplay(desktop.display.encode()))
        self.addCleanup(x11.XCloseDisplay, display)
        x11.XkbLatchGroup(display, 0x100, 1)  # ru latched alone (no modifier latch to take it along); 0x100: core
        x11.XSync(display, 0)
        driver = Driver(desktop)
        self.assertEqual((driver.type("a"), xev.text(1)), ("typed", "a"), "typed in the latched group")
        state = ctypes.create_string_buffer(32)  # XkbStateRec: the latched group at 4
        x11.XkbGetState(display, 0x100, state)
        self.assertEqual(state.raw[4], 1, "the user's group latch was not put back")
