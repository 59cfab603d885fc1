"""Plug in and type: the real program told to keep a device connected and to start minimised, on a private X server,
with the virtual accessory on pseudo-terminals behind a stable link, as udev's /dev/serial/by-id/ links are."""

import os
import unittest

from desktop import Desktop, wait_until
from program import Accessory, Phone, Program
from recorders import KeyRecorder

BINARY, ACCESSORY = os.environ["TAVLUN_BINARY"], os.environ["TAVLUN_ACCESSORY"]


class PlugIn(unittest.TestCase):
    def test_started_before_the_device_it_types_at_once_and_again_after_a_replug(self):
        desktop = Desktop()
        self.addCleanup(desktop.close)
        xev = KeyRecorder(desktop)  # focused first: a window that starts minimised leaves it the focus
        by_id = os.path.join(desktop.tmp, "serial", "by-id")  # made with the first adapter, as udev does
        link = os.path.join(by_id, "usb-Tavlun_Accessory_A50285BI-if00-port0")
        program = Program(desktop, BINARY, [], options=["--connect", link, "--minimised"], shown=False)
        iconic = lambda: "Iconic" in desktop.window_state(program.window)  # noqa: E731
        self.assertTrue(iconic(), desktop.window_state(program.window))
        waiting = f"tavlun: {link} listede yok: takılması bekleniyor. Takılınca kendiliğinden bağlanılacak."
        program.wait_said(waiting)

        first = Accessory(desktop, ACCESSORY)
        first.type("Merhaba")  # the accessory holds the keys until the program opens its line
        os.makedirs(by_id)
        os.symlink(first.path, link)  # plugged in
        self.assertEqual(xev.text(7, 20), "MERHABA", "the recorder saw:\n" + "\n".join(xev.lines[-40:]))
        first.type("dünya{SEND}")

        # Unplugged once every key is answered: the accessory's end closes and the node goes with it. Plugged in
        # again as another node behind the same link, made before the first goes so that its number differs.
        second = Accessory(desktop, ACCESSORY)
        self.assertEqual(first.close(), 0, "the first accessory's exit status: a key went unanswered")
        os.unlink(link)
        lost = f"tavlun: Bağlı aygıt kayboldu: {link}. Bağlantı kesildi; aygıt yeniden takılınca kendiliğinden " \
               "bağlanılacak."
        program.wait_said(lost)
        second.type("Tekrar {CLEAR}")  # typed while nothing is connected: waits in the accessory
        self.assertNotEqual(second.path, first.path)
        os.symlink(second.path, link)
        typed = "DÜNYA<Return>TEKRAR <BackSpace>"
        self.assertEqual(xev.text(len("DÜNYA") + 1 + len("TEKRAR ") + 1, 20), typed,
                         "the recorder saw:\n" + "\n".join(xev.lines[-60:]))
        self.assertEqual(xev.quiet(), "", "a key doubled")
        self.assertEqual(program.said(), [waiting, lost], "said once each, and nothing else")
        self.assertTrue(iconic(), "the window was shown")
        self.assertEqual(second.close(), 0)

        phone = Phone()  # a plain start still asks before it connects
        self.addCleanup(phone.close)
        plain = Program(desktop, BINARY, [phone.path])
        plain.pick_first()
        desktop.wait_window("Port Aç", 5)
        self.assertEqual(program.proc.poll(), None)
