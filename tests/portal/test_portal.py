import json
import os
import pathlib
import shutil
import signal
import unittest

from desktop import Desktop, MutterDesktop, wait_until  # the end-to-end tests' harness, on PYTHONPATH
from program import Accessory, Program
from recorders import TypeDriver as Driver, WevRecorder, as_seen

HERE = os.path.dirname(os.path.abspath(__file__))


def desktop(test, *options, layouts=None, xwayland=False):  # the stand-in behind the real portal unless it is one
    d = MutterDesktop(layouts, xwayland)
    test.addCleanup(d.close)
    d.log = os.path.join(d.tmp, "standin.log")
    d.standin = d.start(["/usr/bin/python3", os.path.join(HERE, "remote_desktop_standin.py"), d.log, *options]
                        + ["--mutter"] * bool(layouts))  # the system's python3, which has python3-gi
    if "--portal" not in options:  # xdg-desktop-portal finds its backend in this folder's .portal file
        d.wait_name("org.freedesktop.impl.portal.desktop.tavlunstandin")
        d.portal = d.start(["/usr/libexec/xdg-desktop-portal"], env={"XDG_DESKTOP_PORTAL_DIR": HERE})
    d.wait_name("org.freedesktop.portal.Desktop")
    return d


def calls(d, name="NotifyKeyboardKeysym"):
    return [e["args"] for e in map(json.loads, pathlib.Path(d.log).read_text().splitlines()) if e["call"] == name]


class PortalInjectorTest(unittest.TestCase):

    def test_keys_reach_wev_in_order_once_allowed_and_only_from_the_layout_in_use(self):
        d = desktop(self, layouts="tr,ru")  # Turkish in use, Russian the other
        (wev := WevRecorder(d)).wait_focus()
        driver = Driver(d)
        self.assertEqual(driver.type(""), "typed")  # its backend chosen, the portal restarts: no matter before a key
        d.portal.terminate()
        d.portal.wait(5)
        d.portal = d.start(["/usr/libexec/xdg-desktop-portal"], env={"XDG_DESKTOP_PORTAL_DIR": HERE})
        d.wait_name("org.freedesktop.portal.Desktop")
        keys = ["a", "B", "1", ">", "+", " ", "ğ", "ş", "Ж", "{ENTER}", "ı", "İ", "€", "ñ",
                "{BACKSPACE}", "Ж", "{ESC}", "z"]  # while the desktop asks: typed once it allows
        self.assertEqual(driver.type(*keys), "typed not:ЖñЖ")  # Russian only, in no layout
        self.assertEqual(wev.text(len(keys) - 3), as_seen(k for k in keys if k not in "Жñ"))
        self.assertEqual((driver.type("x"), wev.text(1), wev.quiet(), wev.down, calls(d, "SelectDevices")),
                         ("typed", "x", "", set(), [{"types": 1}]), "x, nothing held; the keyboard asked for")
        notices = {"\u201CЖ\u201D": "switch to that layout", "\u201Cñ\u201D": "add a layout", "at every start": "",
                   "types with \u201CTurkish\u201D": ""}  # the layout taken as in use, which mutter does not say
        wait_until(lambda: len(driver.problems()) >= 4, 10, f"four notices in {driver.told}")
        told = [next((f for f, remedy in notices.items() if f in p and remedy in p), p) for p in driver.problems()]
        self.assertEqual(sorted(told), sorted(notices), "each notice once, with its remedy")

    def test_nothing_is_typed_once_the_desktop_says_no(self):
        # (what, stand-in options: --portal for errors, which the real one drops; then, once a key is through; told)
        for what, options, then, problem in [
                ("the user refuses", ["Start=1"], None, "refused"),
                ("the desktop fails", ["Start=2"], None, "could not give"),
                ("the portal errs", ["--portal", "CreateSession=error"], None, "did not answer"),
                ("no session", ["--portal", "CreateSession=nohandle"], None, "opened no session"),
                ("no keyboard given", ["--portal", "Start=nokeys"], None, "gave no keyboard"),
                ("the desktop ends the session", [], signal.SIGUSR2, "ended its permission"),
                ("the portal quits", [], "quit", "portal stopped"),
                ("keys refused", ["--portal", "NotifyKeyboardKeysym=error"], "", "refused a key")]:
            with self.subTest(what):
                d = desktop(self, *options)
                driver = Driver(d)
                self.assertEqual(driver.type("a"), "typed")
                if then is not None:  # allowed: the key goes out, then the desktop says no
                    wait_until(lambda: calls(d)[:1] == [[0x61, 1]], 10, "the key")
                    d.portal.terminate() if then == "quit" else then and d.standin.send_signal(then)
                wait_until(lambda: driver.problems(problem), 10, f"'{problem}' in {driver.told}")
                sent = calls(d)
                self.assertEqual((driver.type("b", "{ENTER}"), calls(d), len(driver.problems("at every start"))),
                                 ("typed not:b{ENTER}", sent, len(driver.problems()) - 1), driver.told)  # one told

    def test_a_portal_without_a_keyboard_is_not_used_and_the_user_is_told_why(self):
        d = desktop(self, "--portal", "AvailableDeviceTypes=2")  # a pointer only
        self.addCleanup((xwayland := Desktop()).close)  # an X server as XWayland would be
        for env, typed, way, notices in [({}, "typed not:a", "is unavailable", 0),
                                         ({"DISPLAY": xwayland.display}, "typed", "through XTest through XWayland", 1)]:
            driver = Driver(d, env)
            self.assertEqual(driver.type("a"), typed)
            told = driver.close()
            self.assertEqual((way in told, told.count("Only X11 applications receive the keys")), (True, notices), told)
            self.assertIn("portal failed: the desktop portal's remote desktop offers no keyboard", told)

    def test_version_2_keeps_the_permission_for_the_next_start(self):
        d = desktop(self, "--portal")
        token = pathlib.Path(d.tmp, ".local", "state", "tavlun", "portal-restore-token")  # $HOME's
        keys = [[0xFF, 1], [0xFF, 0], [0x100011F, 1], [0x100011F, 0]]  # no keymap: Latin-1, Unicode
        for start, restored in [(1, None), (2, "tavlun-standin-1")]:
            driver = Driver(d)
            self.assertEqual(driver.type("ÿ", "ğ"), "typed")
            wait_until(lambda: len(calls(d)) >= 4 * start, 10, f"the keys at start {start}")
            options = calls(d, "SelectDevices")[-1]
            self.assertEqual((calls(d), options.get("persist_mode"), options.get("restore_token"), token.read_text(),
                              [oct(p.stat().st_mode & 0o777) for p in (token, token.parent)], driver.problems()),
                             (keys * start, 2, restored, f"tavlun-standin-{start}\n", ["0o600", "0o700"], []))
            driver.close()
        token.unlink()
        for what, obstacle in [("a folder where the token goes", token.mkdir),  # the user is told
                               ("a file where its folder goes", lambda: shutil.rmtree(token.parent) or
                                token.parent.write_text(""))]:
            obstacle()
            driver = Driver(d)
            self.assertEqual(driver.type("ÿ"), "typed")
            wait_until(lambda: driver.problems("could not keep the desktop's permission"), 10, f"the notice: {what}")
            driver.close()


def type_while_minimised(test, d, before, after, arrived, off):
    """The program minimised on the desktop's XWayland types `before`, then (once the off-layout character `off` in it
    is told) `after` into wev: `arrived` arrives, `off` is named once in a notification, the window stays minimised."""
    notified = os.path.join(d.tmp, "notified.log")
    d.start(["/usr/bin/python3", os.path.join(HERE, "notifications_standin.py"), notified])
    d.wait_name("org.freedesktop.Notifications")
    wev, accessory = WevRecorder(d), Accessory(d, os.environ["TAVLUN_ACCESSORY"])
    program = Program(d, os.environ["TAVLUN_BINARY"], [accessory.path], env={"QT_QPA_PLATFORM": None})
    program.connect_first()
    d.run(["xdotool", "windowminimize", "--sync", str(program.window)])
    wev.wait_focus()  # a first key, again until one arrives: until the program has seen itself minimised, its own box
    wait_until(lambda: accessory.type("A") or wev.text(1, 3) == "A", 20, "the keys in wev")
    accessory.type(before)
    wait_until(lambda: [line for line in program.said() if f"\u201C{off}\u201D" in line] or d.find_windows("Tavlun"),
               10, f"{off} told")  # on standard error, in a notification and, once restored, in a window
    accessory.type(after)
    test.assertEqual(wev.text(len(arrived), 20), as_seen(arrived), "the keys after the off-layout one too")
    test.assertIn("window state: Iconic", d.window_state(program.window), "the main window came back")
    shown = [json.loads(line) for line in pathlib.Path(notified).read_text().splitlines()]
    test.assertEqual([f"\u201C{off}\u201D" in n["body"] for n in shown if n["summary"] == "Tavlun"], [True],
                     f"{off} named once, and nothing else")  # beside what the desktop itself says


class GnomeSession(unittest.TestCase):
    def test_an_off_layout_character_is_told_without_pulling_the_window_back_and_the_keys_after_it_arrive(self):
        d = desktop(self, layouts="us", xwayland=True)  # Tavlun's window on mutter's XWayland, as on GNOME
        type_while_minimised(self, d, "BÇ", "+{CLEAR}{SEND}{END}Z", ["B", "+", "{BACKSPACE}", "{ENTER}", "{ESC}", "Z"], "Ç")
