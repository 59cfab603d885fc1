"""Connecting the real program under Xvfb on a desktop that says it is GNOME (No before Yes), in Turkish: devices
that go away, adapters that come and go, and the titles of every window at a second showing."""

import contextlib
import os
import re
import signal
import unittest

from desktop import Desktop, wait_until
from program import (BLUE, TRAFFIC_LOG_RECT, PROMPT_RECT, MAIN_TITLE_PATTERN, Program, copy_text, desktop_with_phones,
                     text_box_contents)

BINARY = os.environ["TAVLUN_BINARY"]
GNOME = {"XDG_CURRENT_DESKTOP": "GNOME", "LANGUAGE": "tr"}  # and a Turkish user: Qt's own buttons in Turkish


class Connection(unittest.TestCase):
    def setUp(self):
        self.desktop, self.phones = desktop_with_phones(self)

    def test_far_end_closing_resets_the_prompt_and_says_so_once(self):
        ports = [os.path.join(self.desktop.tmp, f"port{n}") for n in (1, 2)]  # gone with the device: pts numbers recur
        for phone, port in zip(self.phones, ports):
            os.symlink(phone.path, port)
        program = Program(self.desktop, BINARY, ports, env=GNOME)
        prompt = lambda: program.desktop.pixels(program.window, *PROMPT_RECT)  # noqa: E731
        log = lambda: program.desktop.pixels(program.window, *TRAFFIC_LOG_RECT)  # noqa: E731
        start_prompt, unlit, empty_log = prompt(), program.indicator(), log()
        self.assertEqual(unlit, (255, 255, 255), "the unlit indicator: the window background's system colour")
        program.connect_first()
        self.assertEqual(self.phones[0].exchange(b"AT+CGMR\r"), b"OK\r\n")
        wait_until(lambda: prompt() != start_prompt and log() != empty_log, 3, "the ready prompt and the dialogue")
        self.phones[0].write(b'AT+CKPD="22')  # half a line, read, then the device goes away
        wait_until(lambda: self.phones[0].unread() == 0, 3, "the half line read")
        self.phones[0].close()
        os.unlink(ports[0])
        wait_until(lambda: program.indicator() == unlit, 5, "the indicator's start look after the loss")
        wait_until(lambda: prompt() == start_prompt, 5, "the prompt's start text")
        self.assertLess(program.busy_seconds(), 0.3, "the program spins after the loss")
        self.assertEqual(program.said(), [f"tavlun: Bağlı aygıt kayboldu: {ports[0]}. Bağlantı kesildi; aygıtı "
                                          "takıp portu yeniden seçin."])
        program.connect_first()  # the list was probed again: the other device is its first entry
        self.assertEqual(self.phones[1].exchange(b"AT+CGMR\r"), b"OK\r\n")
        self.assertEqual(self.phones[1].exchange(b'AT+CKPD="2"\r'), b"OK\r\n")
        wait_until(lambda: text_box_contents(program) == "A", 10, "'A' alone: the lost device's half line is dropped")
        self.desktop.activate(program.window)
        self.desktop.key("alt+F4")  # closed while connected: it ends, and at once
        self.assertEqual(program.proc.wait(5), 0)

    def test_adapters_come_and_go_while_the_program_runs(self):
        watched, hidden = os.path.join(self.desktop.tmp, "adapters"), self.desktop.tmp
        os.mkdir(watched)  # the adapter's link named before it exists, nine never: no device of the machine's listed
        adapter = os.path.join(watched, "adapter")
        program = Program(self.desktop, BINARY, [adapter] + [os.path.join(watched, f"n{n}") for n in range(2, 11)])

        def list_opens():  # None if not
            with contextlib.suppress(AssertionError):
                return bool(program.popup_entries(timeout=1))
        self.assertFalse(list_opens(), "an empty list opened")
        os.symlink(self.phones[0].path, adapter)  # plugged in: listed without opening the list
        wait_until(lambda: self.desktop.key("Down", window=program.window) or self.desktop.find_windows("Port Aç"),
                   5, "Down to pick the adapter")
        self.desktop.activate(self.desktop.wait_window("Port Aç"))
        self.desktop.key("Escape")  # No: nothing is connected
        wait_until(lambda: not self.desktop.find_windows("Port Aç"), 5, "the box to close")
        os.unlink(adapter)
        self.assertFalse(list_opens(), "the pulled adapter is still listed")
        os.symlink(os.path.join(hidden, "device"), adapter)  # where nothing watches: opening the list probes again
        os.symlink(self.phones[1].path, os.path.join(hidden, "device"))
        program.connect_first()
        self.assertEqual(self.phones[1].exchange(b"AT+CGMR\r"), b"OK\r\n")
        self.assertFalse(list_opens(), "the list opens while connected")

    def test_every_window_keeps_its_own_title_at_a_second_showing(self):
        desktop = self.desktop  # -display, not DISPLAY: typing elsewhere is unavailable, a key while minimised tells so
        program = Program(desktop, BINARY, ["-display", desktop.display] + [p.path for p in self.phones],
                          env=dict(GNOME, DISPLAY=None))

        def check(title, showing):
            window = desktop.wait_window(title, 5)
            self.assertEqual(desktop.titles(window), (title, title), f"WM_NAME, _NET_WM_NAME of {title!r}, {showing}")
            desktop.activate(window)
            return window
        for showing in (1, 2):
            desktop.activate(program.window)
            desktop.click(*program.client(8 + 52, 208 + 8))  # the about button
            check("Hakkında", showing)
            desktop.key("alt+F4")
            wait_until(lambda: not desktop.find_windows("Hakkında"), 15, "the about window to close")
        for showing, answer in ((1, "Escape"), (2, "alt+e")):  # &Evet: Yes
            self.assertNotEqual(program.indicator(), BLUE)
            program.pick_first()
            x, y, w, h = desktop.settled_geometry(check("Port Aç", showing))
            self.assertEqual(copy_text(desktop, x + w // 2, y + h // 6),
                             "Seçilen Port Üzerinden\n\nBağlanmak İstiyormusunuz")  # its \n\r shows as two breaks
            desktop.key(answer)
            wait_until(lambda: not desktop.find_windows("Port Aç"), 5, "the box to close")
        wait_until(lambda: program.indicator() == BLUE, 5, "the connection: Evet answers")
        for title in desktop.titles(program.window):
            self.assertRegex(title, MAIN_TITLE_PATTERN)
        icons = desktop.run(["xprop", "-id", str(program.window), "_NET_WM_ICON"])
        self.assertEqual(sorted(map(int, re.findall(r"Icon \((\d+) x \d+\)", icons))), [16, 32, 48], "the program's icon, each size")
        desktop.run(["xdotool", "windowminimize", "--sync", str(program.window)])

        def key_told():  # keys until the program has seen the window minimised and said why they go nowhere
            self.assertEqual(self.phones[0].exchange(b'AT+CKPD="2"\r'), b"OK\r\n")
            return [line for line in program.said() if "tuş gönderilemiyor" in line]
        wait_until(key_told, 10, "the keys taken while minimised")
        wait_until(lambda: not self.phones[0].unread(), 5, "the last key read")
        self.assertEqual((desktop.find_windows("Tavlun"), "Iconic" in desktop.window_state(program.window)),
                         ([], True), "a notice over the application being typed into, or the main window back")
        desktop.activate(program.window)  # restored: the notice waited for it
        notice = desktop.wait_window("Tavlun", 5)
        transient_for = desktop.run(["xprop", "-id", str(notice), "WM_TRANSIENT_FOR"]).split()[-1]
        self.assertEqual((desktop.titles(notice), transient_for), (("Tavlun", "Tavlun"), hex(program.window)))


class Ending(unittest.TestCase):
    def test_signals_and_a_lost_display_end_it_in_order_and_free_the_port(self):
        desktop, [phone] = desktop_with_phones(self, 1)
        lock = "/var/lock/LCK.." + phone.path[5:].replace("/", "_")
        os.mkdir(runtime := os.path.join(desktop.tmp, "run"), 0o700)  # so that Qt has nothing to say at start
        for ending in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, "display"):
            if ending == "display":  # a desktop of its own, whose X server then goes away as at logout
                desktop = Desktop()
                self.addCleanup(desktop.close)
            program = Program(desktop, BINARY, [phone.path], env={  # and the sanitizers' known leaks go unsaid
                "XDG_RUNTIME_DIR": runtime, "LSAN_OPTIONS": os.environ.get("LSAN_OPTIONS", "") + ":print_suppressions=0"})
            program.connect_first()  # each start connects to the same device: the last one let it go
            self.assertEqual(phone.exchange(b"AT+CGMR\r"), b"OK\r\n")
            self.assertTrue(os.path.exists(lock), "the port's lock file")
            program.proc.send_signal(ending) if ending != "display" else desktop.procs[0].kill()
            status = program.proc.wait(10)
            with open(program.log, encoding="utf-8") as log:
                told = [line for line in log.read().splitlines() if not line.startswith("tavlun: typing into")]
            self.assertEqual((status, told, os.path.exists(lock)),
                             (0, [], False) if ending != "display" else
                             (1, ["tavlun: the connection to the X11 display was lost (its server ended, as at logout); "
                                  "the port is closed and Tavlun ends."], False), f"ending by {ending}")
