"""Plug in and type: the real program told to keep a device connected and to start minimised, on a private X server,
with the virtual accessory on pseudo-terminals behind a stable link, as udev's /dev/serial/by-id/ links are."""

import os
import unittest

from desktop import Desktop
from program import Accessory, PortLock, Program
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
        said = program.wait_said(f"tavlun: {link} listede yok: takılması bekleniyor. Takılınca kendiliğinden bağlanılacak.")

        first = Accessory(desktop, ACCESSORY)
        first.type("Merhaba")  # held by the accessory until the program opens its line
        os.makedirs(by_id)
        os.symlink(first.path, link)
        held = PortLock(link)  # plugged in, but another program has it open and locked for a while (the program
        self.addCleanup(held.release)  # looks once the burst of changes has settled)
        said += program.wait_said("bırakınca")
        held.release()
        self.assertEqual(xev.text(7, 20), "MERHABA", "the recorder saw:\n" + "\n".join(xev.lines[-40:]))
        first.type("dünya{SEND}")

        second = Accessory(desktop, ACCESSORY)  # made before the first goes, so that its terminal's number differs
        self.assertEqual(first.close(), 0, "a key went unanswered")  # unplugged: its end closes, its node goes
        os.unlink(link)
        said += program.wait_said("kayboldu")
        second.type("Tekrar {CLEAR}")  # waits in the accessory while nothing is connected
        os.symlink(second.path, link)  # back as another node behind the same link
        self.assertEqual(xev.text(14, 20), "DÜNYA<Return>TEKRAR <BackSpace>", "\n".join(xev.lines[-60:]))
        self.assertEqual(xev.quiet(), "", "a key doubled")
        self.assertEqual(program.said(), said, "said once each")
        self.assertIn("Iconic", desktop.window_state(program.window), "the window was shown")
