"""The XTest backend beside other clients of the X server: their keys and their changes stay theirs."""

import re
import unittest

from desktop import Desktop  # the end-to-end tests' harness, on PYTHONPATH
from recorders import KeyRecorder, TypeDriver as Driver


class X11InjectorTest(unittest.TestCase):

    def test_other_clients_keys_are_neither_pressed_for_their_side_effects_nor_undone(self):
        desktop = Desktop()
        self.addCleanup(desktop.close)
        xev = KeyRecorder(desktop)
        keymap = lambda: desktop.run(["xkbcomp", "-xkb", desktop.display, "-"])  # noqa: E731
        locking_a = re.sub(r"key <AC01> \{.*?\};", "key <AC01> { symbols[Group1]= [ a, A ], "
                           "actions[Group1]= [ LockMods(modifiers=Lock), NoAction() ] };", keymap(), flags=re.S)
        desktop.run(["xkbcomp", "-w", "0", "-", desktop.display], input=locking_a)  # a of us also locks Caps Lock
        driver = Driver(desktop)
        self.assertEqual((driver.type("a", "é"), xev.text(2)), ("typed", "aé"))
        desktop.key("b")  # the user's own key, after ours
        self.assertEqual((xev.text(1), xev.modifiers), ("b", 0), "a key that locks Caps Lock was pressed for its a")

        keycode = lambda pattern: re.search(rf"(?m)^keycode\s+{pattern} =.*$", desktop.run(["xmodmap", "-pke"]))  # noqa: E731
        bound = keycode(r"\d+(?= = eacute)")
        self.assertTrue(bound, "é is on no keycode: typed some other way than by binding a spare one")
        taken = bound[0].split()[1]
        desktop.run(["xmodmap", "-e", f"keycode {taken} = q"])  # another client takes that keycode
        self.assertNotIn("problem", driver.close())
        self.assertEqual(keycode(taken)[0].split()[3:4], ["q"],
                         "the keycode that another client took after our last key was given back at the end")
