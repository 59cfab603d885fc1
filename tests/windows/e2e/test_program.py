"""tavlun.exe under wine, end to end: COM ports that are pseudo-terminals with
the virtual accessory or a test's own far end, keys typed into wine's
notepad and read back through the clipboard, a lost device, failed opens
that name their cause."""

import os
import subprocess
import termios
import time
import unittest

from winesession import ACCESSORY, wait_until, wine_desktop, start_program
from program import BLUE, DISCONNECT_CENTRE, Accessory, Phone, copy_text, text_box_contents

IDLE = (255, 255, 255)  # the window background's system colour, under wine as on Windows
TYPE_KEYS = os.environ.get("TAVLUN_TYPE_KEYS")


def lit(program, colour):  # the indicator's colour; a window being redrawn may not be read at once
    try:
        return program.indicator() == colour
    except subprocess.CalledProcessError:
        return False


def notepad_text(desktop, notepad):
    x, y, w, h = desktop.geometry(notepad)
    desktop.activate(notepad)
    return copy_text(desktop, x + w // 2, y + h // 2).replace("\r\n", "\n")


class ProgramTest(unittest.TestCase):

    def test_connects_answers_types_and_resets_when_the_device_goes(self):
        desktop = wine_desktop(self)
        accessory = Accessory(desktop, ACCESSORY)
        desktop.map_port("COM1", accessory.path)
        program = start_program(desktop)
        self.assertEqual(program.indicator(), IDLE)
        program.connect_first()

        # The accessory waits for "OK" to every line: its revision query
        # first, then one line a key.
        accessory.type("Merhaba Çöü")
        wait_until(lambda: text_box_contents(program) == "MERHABA ÇÖÜ", 20, "the text box to fill")

        # Minimised, the keys go to the application that has the focus:
        # the send key as Enter, the clear key as Backspace.
        desktop.run(["xdotool", "windowminimize", str(program.window)])
        wait_until(lambda: "Iconic" in desktop.window_state(program.window), 5, "the window to be minimised")
        desktop.wine("notepad")
        notepad = desktop.wait_window("Untitled - Notepad", 20)
        desktop.activate(notepad)
        accessory.type("ßÉ{SEND}ÇX{CLEAR}Ö")
        wait_until(lambda: notepad_text(desktop, notepad) == "ßÉ\nÇÖ", 20,
                   lambda: f"notepad to hold 'ßÉ\\nÇÖ', not {notepad_text(desktop, notepad)!r}")
        # Characters beyond the accessory's keys go as themselves too.
        desktop.activate(notepad)
        desktop.key("ctrl+a", "BackSpace")
        self.assertEqual(subprocess.run(["wine", TYPE_KEYS, "Çğşıİ€ß"], env=desktop.env, timeout=30).returncode, 0)
        wait_until(lambda: notepad_text(desktop, notepad) == "Çğşıİ€ß", 10,
                   lambda: f"notepad to hold 'Çğşıİ€ß', not {notepad_text(desktop, notepad)!r}")

        # The accessory goes away (its pseudo-terminal closes): the
        # connection resets, once, and the port is no longer listed.
        desktop.run(["xdotool", "windowactivate", str(program.window)], check=False)
        wait_until(lambda: "Normal" in desktop.window_state(program.window), 10, "the window to be restored")
        accessory.close()
        lost = program.wait_said("Bağlı aygıt kayboldu: COM1")
        wait_until(lambda: lit(program, IDLE), 10, "the indicator to go out")
        time.sleep(1)
        self.assertEqual(len([line for line in program.said() if "kayboldu" in line]), 1, lost)

    def test_lists_further_ports_and_names_why_a_port_failed(self):
        desktop = wine_desktop(self)
        first, further = Phone(), Phone()
        for phone in (first, further):
            self.addCleanup(phone.close)
        desktop.map_port("COM1", first.path)
        desktop.map_port("COM12", further.path)
        program = start_program(desktop)

        # COM12 comes after the probed ports (COM1, and COM3 of wine's own): the last of three.
        x, y, w, h = program.popup_entries()
        time.sleep(0.5)  # a list just opened ignores a release within the double-click interval
        desktop.click(x + w // 2, y + h - h // 6)
        program.answer_connect()
        wait_until(lambda: lit(program, BLUE), 10, "the indicator to turn blue")
        self.assertEqual(further.exchange(b"AT+CGMR\r", 5), b"OK\r\n")
        desktop.click(*program.client(*DISCONNECT_CENTRE))  # disconnect
        wait_until(lambda: lit(program, IDLE), 10, "the indicator to go out")

        # Between the probe and the pick, COM1 becomes something that is
        # no serial line (wine shares a pseudo-terminal with a second
        # program, and root opens any, so a port in use cannot be made here).
        link = os.path.join(desktop.env["TAVLUN_WINE_PORTS"], "com1")
        self.failed_pick(program, lambda: os.unlink(link) or os.symlink(os.devnull, link),
                         "COM1: port 9600 8N1 ayarını kabul etmedi")
        desktop.map_port("COM1", first.path)

        # The device goes between the probe and the pick.
        self.failed_pick(program, lambda: os.unlink(link), "COM1: aygıt artık yok")

    def test_opens_the_line_at_9600_8n1_and_closing_while_connected_ends_at_once(self):
        desktop = wine_desktop(self)
        phone = Phone()
        self.addCleanup(phone.close)
        desktop.map_port("COM1", phone.path)
        program = start_program(desktop)
        program.connect_first()
        self.assertEqual(phone.exchange(b"AT+CGMR\r", 5), b"OK\r\n")
        # The line as the program set it: 9600 baud, 8 data bits, no parity, 1 stop bit.
        device = os.open(phone.path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        iflag, oflag, cflag, lflag, ispeed, ospeed, cc = termios.tcgetattr(device)
        os.close(device)
        self.assertEqual((ispeed, ospeed, cflag & termios.CSIZE), (termios.B9600, termios.B9600, termios.CS8))
        self.assertFalse(cflag & (termios.PARENB | termios.CSTOPB))
        # The port's thread waits in a read that no byte ends.
        desktop.activate(program.window)
        desktop.key("alt+F4")
        self.assertEqual(program.proc.wait(15), 0)

    def failed_pick(self, program, spoil, cause):
        program.pick_first(spoil)
        program.answer_connect()
        box = program.desktop.wait_window("Port Hata...", 10)
        wait_until(lambda: [line for line in program.said() if cause in line], 10,
                   lambda: f"a line with {cause!r} among {program.said()}")
        program.desktop.activate(box)
        program.desktop.key("Return")
        wait_until(lambda: not program.desktop.find_windows("Port Hata..."), 10, "the box to close")


if __name__ == "__main__":
    unittest.main()
