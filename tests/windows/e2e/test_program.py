"""tavlun.exe under wine, end to end: COM ports that are pseudo-terminals with the virtual accessory or a test's own far
end, keys typed into wine's notepad and read back through the clipboard, a lost device, failed opens that name their
cause."""

import os
import subprocess
import termios
import time
import unittest

from winesession import ACCESSORY, WineDesktop, wait_until
from program import BLUE, DISCONNECT_CENTRE, Accessory, Phone, copy_text, text_box_contents

IDLE = (255, 255, 255)  # the window background's system colour, under wine as on Windows


def lit(program, colour):  # the indicator's colour; a window being redrawn may not be read at once
    try:
        return program.indicator() == colour
    except subprocess.CalledProcessError:
        return False


class ProgramTest(unittest.TestCase):

    def test_connects_answers_types_and_resets_when_the_device_goes(self):
        desktop = WineDesktop(self)
        accessory = Accessory(desktop, ACCESSORY)
        desktop.map_port("COM1", accessory.path)
        program = desktop.program()
        self.assertEqual(program.indicator(), IDLE)
        program.connect_first()
        accessory.type("Merhaba Çöü")  # the accessory waits for "OK" to its revision query, then to each key's line
        wait_until(lambda: text_box_contents(program) == "MERHABA ÇÖÜ", 20, "the text box to fill")

        # Minimised, the keys go to the application that has the focus: the send key as Enter, the clear key as
        # Backspace, and characters beyond the accessory's keys as themselves.
        desktop.run(["xdotool", "windowminimize", str(program.window)])
        wait_until(lambda: "Iconic" in desktop.window_state(program.window), 5, "the window to be minimised")
        desktop.start(["wine", "notepad"])
        notepad = desktop.wait_window("Untitled - Notepad", 20)

        def notepad_text():
            x, y, w, h = desktop.geometry(notepad)
            desktop.activate(notepad)
            return copy_text(desktop, x + w // 2, y + h // 2).replace("\r\n", "\n")
        for type_keys, text in ((lambda: accessory.type("ßÉ{SEND}ÇX{CLEAR}Ö"), "ßÉ\nÇÖ"), (lambda: subprocess.run(
                ["wine", os.environ["TAVLUN_TYPE_KEYS"], "Çğşıİ€ß"], env=desktop.env, timeout=30, check=True), "Çğşıİ€ß")):
            desktop.activate(notepad)
            desktop.key("ctrl+a", "BackSpace")
            type_keys()
            wait_until(lambda: notepad_text() == text, 20, lambda: f"notepad to hold {text!r}, not {notepad_text()!r}")

        # The accessory goes away (its pseudo-terminal closes): the connection resets, once.
        desktop.run(["xdotool", "windowactivate", str(program.window)], check=False)
        wait_until(lambda: "Normal" in desktop.window_state(program.window), 10, "the window to be restored")
        accessory.close()
        lost = program.wait_said("Bağlı aygıt kayboldu: COM1")
        wait_until(lambda: lit(program, IDLE), 10, "the indicator to go out")
        time.sleep(1)
        self.assertEqual(len([line for line in program.said() if "kayboldu" in line]), 1, lost)

    def test_lists_further_ports_at_9600_8n1_names_why_a_port_failed_and_closing_while_connected_ends_at_once(self):
        desktop = WineDesktop(self)
        first, further = Phone(), Phone()
        for phone in (first, further):
            self.addCleanup(phone.close)
        desktop.map_port("COM1", first.path)
        desktop.map_port("COM12", further.path)
        program = desktop.program()

        # COM12 comes after the probed ports (COM1, and COM3 of wine's own): the last of three.
        x, y, w, h = program.popup_entries()
        time.sleep(0.5)  # a list just opened ignores a release within the double-click interval
        desktop.click(x + w // 2, y + h - h // 6)
        program.answer_connect()
        wait_until(lambda: lit(program, BLUE), 10, "the indicator to turn blue")
        self.assertEqual(further.exchange(b"AT+CGMR\r", 5), b"OK\r\n")
        device = os.open(further.path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)  # the line as the program set it
        _, _, cflag, _, ispeed, ospeed, _ = termios.tcgetattr(device)
        os.close(device)
        self.assertEqual((ispeed, ospeed, cflag & (termios.CSIZE | termios.PARENB | termios.CSTOPB)),
                         (termios.B9600, termios.B9600, termios.CS8), "9600 baud, 8 data bits, no parity, 1 stop bit")
        desktop.click(*program.client(*DISCONNECT_CENTRE))
        wait_until(lambda: lit(program, IDLE), 10, "the indicator to go out")

        # Between the probe and the pick, COM1 becomes something that is no serial line (wine shares a
        # pseudo-terminal with a second program, and root opens any, so a port in use cannot be made here); then it goes.
        link = os.path.join(desktop.env["TAVLUN_WINE_PORTS"], "com1")
        self.failed_pick(program, lambda: os.unlink(link) or os.symlink(os.devnull, link),
                         "COM1: port 9600 8N1 ayarını kabul etmedi")
        desktop.map_port("COM1", first.path)
        self.failed_pick(program, lambda: os.unlink(link), "COM1: aygıt artık yok")

        desktop.map_port("COM1", first.path)
        program.connect_first()
        self.assertEqual(first.exchange(b"AT+CGMR\r", 5), b"OK\r\n")
        desktop.activate(program.window)
        desktop.key("alt+F4")  # the port's thread waits in a read that no byte ends
        self.assertEqual(program.proc.wait(15), 0)

    def failed_pick(self, program, spoil, cause):
        program.pick_first(spoil)
        program.answer_connect()
        box = program.desktop.wait_window("Port Hata...", 10)
        program.wait_said(cause)
        program.desktop.activate(box)
        program.desktop.key("Return")
        wait_until(lambda: not program.desktop.find_windows("Port Hata..."), 10, "the box to close")


if __name__ == "__main__":
    unittest.main()
