"""The keystroke backends, XTest and the virtual keyboard, typing into xev on Xvfb and wev on sway, beside other
clients of the X server: their keys and their changes stay theirs."""

import ctypes
import os
import re
import unittest

from desktop import Desktop, SwayDesktop
from recorders import KeyRecorder, TypeDriver as Driver, WevRecorder, as_seen

# Printable Latin-1 (the key table's characters and more), letters no Latin-1 layout has, the named keys.
KEYS = [chr(c) for c in [*range(0x20, 0x7F), *range(0xA0, 0x100)]] + [*"€ğşıİ", "{ENTER}", "{BACKSPACE}", "{ESC}"]


def key_entry(keymap, keycode):  # the keycode's entry in xkbcomp's text of a keymap
    name = re.search(rf"(<\w+>)\s*=\s*{keycode};", keymap)[1]
    return re.search(rf"key {re.escape(name)} \{{.*?\}};", keymap, re.S)[0]


class Keystrokes(unittest.TestCase):
    def type_and_compare(self, what, driver, recorder, keys, batch):
        for start in range(0, len(keys), batch):
            sent = keys[start:start + batch]
            self.assertEqual(driver.type(*sent), "typed", f"{what}: sendKeys failed")
            self.assertEqual(recorder.text(len(sent)), as_seen(sent), f"{what}: typed {''.join(sent)!r}")

    def assert_keyboard_released(self, what, recorder, modifiers, then=""):  # `then` typed by the user meanwhile
        self.assertEqual(recorder.quiet(), then, what)
        self.assertEqual(recorder.down, set(), f"{what}: keys still down")
        self.assertEqual(recorder.modifiers, modifiers, f"{what}: modifiers in force")

    def test_x11_every_character_under_each_layout_and_the_keyboard_left_as_it_was(self):
        desktop = Desktop()
        self.addCleanup(desktop.close)
        xev = KeyRecorder(desktop)
        keymap = lambda: desktop.run(["xkbcomp", "-xkb", desktop.display, "-"])  # noqa: E731
        for layout, caps_lock in [(layout, on) for layout in ("us", "de", "tr") for on in (False, True)]:
            what = f"layout {layout}" + " with Caps Lock" * caps_lock
            desktop.run(["setxkbmap", layout])
            before, driver = keymap(), Driver(desktop)
            self.type_and_compare(what, driver, xev, KEYS[:95], 12)  # printable ASCII: all on keys of us
            self.assertTrue(layout != "us" or keymap() == before, f"{what}: a key of the layout was rebound")
            self.type_and_compare(what, driver, xev, KEYS[95:], 12)  # 12 spare keycodes: none rebound unread by xev
            self.assertNotIn("problem", driver.close(), what)
            self.assertEqual(keymap(), before, f"{what}: keymap not put back")
            desktop.key("a")  # a key of the user's own, after ours
            self.assert_keyboard_released(what, xev, 2 if caps_lock else 0, "A" if caps_lock else "a")
            desktop.key("Caps_Lock")  # on for the next round, or off again
        driver = Driver(desktop)
        self.assertEqual(driver.type("{F1}", "ab", "\x01", "\x7f", "\x9f"), "typed not:{F1}ab\x01\x7f\x9f", "no keysym")
        desktop.run(["setxkbmap", "de"])  # between keys: a new layout (y and z swap keys),
        self.type_and_compare("de", driver, xev, ["y"], 1)
        desktop.run(["xmodmap", "-e", "keysym z = q"])  # then a key remapped alone
        self.type_and_compare("then", driver, xev, ["z", "q", "é"], 3)
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        display = ctypes.c_void_p(x11.XOpenDisplay(desktop.display.encode()))
        desktop.run(["setxkbmap", "us,ru,de"])  # de locked; the keys of a and s have us and ru only, de taken to ru
        ru = {"AC01": "groupsClamp, symbols[Group1]= [a, A], symbols[Group2]= [Cyrillic_ef, Cyrillic_EF]",
              "AC02": "groupsRedirect= Group2, symbols[Group1]= [s, S], symbols[Group2]= [Cyrillic_yeru, Cyrillic_YERU]"}
        two_groups = re.sub(r"key <(AC0[12])> \{.*?\};", lambda m: f"key <{m[1]}> {{ {ru[m[1]]} }};", keymap(), flags=re.S)
        desktop.run(["xkbcomp", "-w", "0", "-", desktop.display], input=two_groups)
        x11.XkbLockGroup(display, 0x100, 2)  # 0x100: the core keyboard
        x11.XSync(display, 0)
        self.type_and_compare("us,ru,de with de locked, a clamped, s redirected", driver, xev, ["a", "s", "ф"], 3)
        desktop.run(["setxkbmap", "us,ru"])  # ru locked: a letter of us switches only for its own key
        x11.XkbLockGroup(display, 0x100, 1)
        x11.XkbLatchModifiers(display, 0x100, 1, 1)  # Shift and us latched for the user's next key, as sticky keys
        x11.XkbLatchGroup(display, 0x100, 1)  # leave them (a modifier latch drops a group's)
        x11.XSync(display, 0)
        self.type_and_compare("us,ru with ru locked, us latched", driver, xev, ["a", "ж", "Q"], 3)
        state = ctypes.create_string_buffer(32)  # XkbStateRec: locked group at 1, latched group at 4, mods at 8
        x11.XkbGetState(display, 0x100, state)
        self.assertEqual((state.raw[1], state.raw[4], state.raw[8]), (1, 1, 1), "the user's group lock and latches were not put back")
        x11.XkbLockGroup(display, 0x100, 0)  # ru latched alone: lifting a modifier latch would take it along
        x11.XkbLatchModifiers(display, 0x100, 1, 0)
        x11.XkbLatchGroup(display, 0x100, 1)
        x11.XSync(display, 0)
        self.type_and_compare("us,ru with ru latched alone", driver, xev, ["a"], 1)
        x11.XkbGetState(display, 0x100, state)
        self.assertEqual((state.raw[1], state.raw[4], state.raw[8]), (0, 1, 0), "the user's group latch was not put back")

    def test_x11_other_clients_keys_are_neither_pressed_for_their_side_effects_nor_undone(self):
        desktop = Desktop()
        self.addCleanup(desktop.close)
        xev = KeyRecorder(desktop)
        keymap = lambda: desktop.run(["xkbcomp", "-xkb", desktop.display, "-"])  # noqa: E731
        loaded = re.sub(r"key <AC01> \{.*?\};", "key <AC01> { symbols[Group1]= [ a, A ], actions[Group1]= "
                        "[ LockMods(modifiers=Lock), NoAction() ] };", keymap(), count=1, flags=re.S)
        loaded = re.sub(r"key <I255> \{.*?\};", "key <I255> { [ NoSymbol ] };", loaded, count=1, flags=re.S)
        # a of us also locks Caps Lock; the last keycode is spare, with a group of no symbols
        desktop.run(["xkbcomp", "-w", "0", "-", desktop.display], input=loaded)
        loaded, driver = keymap(), Driver(desktop)
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

    def test_wayland_every_character_under_each_layout_and_no_key_left_down(self):
        for layout in ("us", "de", "tr"):
            desktop = SwayDesktop(layout=layout)
            self.addCleanup(desktop.close)
            wev, driver = WevRecorder(desktop), Driver(desktop)
            wev.wait_focus()  # once the seat has a keyboard: the driver's
            if layout == "us":  # no virtual keyboard answers: XTest into XWayland, and the user is told once
                desktop.run(["setxkbmap", "us"])  # XWayland's keymap follows the seat's latest keyboard
                xtest = Driver(desktop, {"WAYLAND_DISPLAY": "nowhere"})
                self.assertEqual([xtest.type(k) for k in "ab"], ["typed", "typed"])
                self.assertEqual(xtest.close().count("Only X11 applications receive the keys"), 1)
                self.assertEqual(len(xtest.problems()), 1, "a problem told with nothing to tell")
            descriptors = lambda: len(os.listdir(f"/proc/{driver.proc.pid}/fd"))  # noqa: E731
            before = descriptors()  # a memory file for each keymap sent, closed once sent
            self.type_and_compare(f"layout {layout}", driver, wev, KEYS, len(KEYS))
            keymaps = wev.keymaps
            self.type_and_compare(f"layout {layout}, again", driver, wev, KEYS[-20:], 20)
            self.assertEqual((wev.keymaps, descriptors()), (keymaps, before), "keymap sent again, or descriptors kept")
            self.assertEqual(driver.type("{F1}", "ab"), "typed not:{F1}ab", "key strings with no keysym")
            self.assert_keyboard_released(f"layout {layout}", wev, 0)
            other = {"us": "de", "de": "tr", "tr": "us"}[layout]  # put on every keyboard, ours too, as at a reload
            desktop.run(["swaymsg", "input", "*", "xkb_layout", other])
            self.type_and_compare(f"layout {layout}, then {other} on every keyboard", driver, wev, ["y", "z", "ğ"], 3)
            desktop.sway.terminate()  # the compositor goes away: keys refused from then on, said once
            desktop.sway.wait(10)
            self.assertEqual([driver.type(k) for k in "ab"], ["typed not:a", "typed not:b"])
            told = driver.close()
            self.assertIn("through Wayland virtual keyboard", told)
            self.assertEqual(told.count("Typing into other applications stopped"), 1, told)
