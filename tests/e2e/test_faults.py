"""Faults the real program survives and explains: ports held, missing or not this user's; junk and an endless line."""

import grp
import os
import random
import subprocess
import unittest

from program import PortLock, Program, desktop_with_phones, rss_kib

BINARY = os.environ["TAVLUN_BINARY"]


class Faults(unittest.TestCase):
    def setUp(self):
        self.desktop, self.phones = desktop_with_phones(self, 3)

    def start(self, ports=None, **kw):
        self.program = Program(self.desktop, BINARY, ports or [p.path for p in self.phones], **kw)

    def test_held_and_missing_ports_say_why_and_a_freed_port_is_listed(self):
        held = PortLock(self.phones[0].path, locked_only=True)  # named by its lock file alone
        self.addCleanup(held.release)
        first, missing, third = self.phones[0].path, "/dev/tavlun-no-such-device", self.phones[1].path
        folder, plain_file = self.desktop.tmp, os.path.abspath(__file__)  # a regular file
        others = [f"/dev/tavlun-none-{n:02}" for n in range(7, 13)]  # the last two beyond the tenth port
        self.start([first, missing, third, "/dev/null", folder, plain_file] + others)
        said = {first: f"tavlun: {first} listede yok: başka bir program kullanıyor: sleep (pid {held.pid}). O "
                       "programı kapatıp portu yeniden seçin.",
                missing: f"tavlun: {missing} listede yok: böyle bir aygıt yok. Aygıtın yolunu denetleyin.",
                others[-1]: f"tavlun: {others[-1]} listede yok: listede yer yok: en çok 10 port listelenir. Daha az "
                            "aygıt adı verin."}
        for path, cause in (("/dev/null", "seri aygıt değil"), (folder, "bir klasör, aygıt değil"),
                            (plain_file, "seri aygıt değil, bir dosya")):  # the folder's line by its blank after
            said[path + " "] = f"tavlun: {path} listede yok: {cause}. Seri aygıtın yolunu verin, örneğin /dev/ttyUSB0."

        for device in said:
            self.program.wait_said(device)
        taken = []  # while the list is open (not later: the box's closing probes again), port 3 taken, port 1 freed
        text = self.program.failed_pick(lambda: (taken.append(PortLock(third)), held.release()))
        self.addCleanup(taken[0].release)
        self.assertIn(f"{third}: başka bir program kullanıyor: sleep (pid {taken[0].pid})", text)
        self.program.wait_said(f"bağlantı kurulamadı: {third}")
        self.program.connect_first()  # the reset after the box listed the freed port 1 first
        self.assertEqual(self.phones[0].exchange(b"AT+CGMR\r"), b"OK\r\n")
        self.assertEqual(self.phones[1].read(1, 0.2), b"")
        for device, line in said.items():
            self.assertEqual(self.program.wait_said(device), [line], "said once, not at every probe")

    def test_ports_refused_to_this_user_say_what_helps(self):
        owner_only, group, later = (p.path for p in self.phones)  # for nobody: root opens anything
        os.chmod(owner_only, 0o600)
        os.chown(group, 0, grp.getgrnam("dialout").gr_gid)
        os.chmod(group, 0o660)
        os.chmod(later, 0o666)
        self.start([owner_only, group, later], user="nobody")  # a renamed copy: its windows keep the class "tavlun"
        self.assertIn('"tavlun"', self.desktop.run(["xprop", "-id", str(self.program.window), "WM_CLASS"]))
        rule = "/usr/share/doc/tavlun/examples/90-tavlun-serial-adapter.rules"
        for device, told, untold in ((owner_only, ("sahibi (root) okuyup yazabilir (izinler crw-------)", rule), "usermod"),
                                     (group, ("aygıt dialout grubunun, izinler crw-rw----", "usermod -aG dialout $USER"), rule)):
            [line] = self.program.wait_said(device)
            self.assertEqual(([t in line for t in told], untold in line), ([True, True], False), line)
        text = self.program.failed_pick(lambda: os.chmod(later, 0o600))
        self.assertTrue(f"{later}: açma izni yok: aygıtı yalnızca sahibi (root) okuyup yazabilir" in text and rule in text, text)

    def test_floods_and_an_endless_line_leave_it_answering(self):
        self.start()
        self.program.connect_first()
        phone = self.phones[0]
        self.assertEqual(phone.exchange(b"AT+CGMR\r"), b"OK\r\n")
        rss_before, received = rss_kib(self.program.proc.pid), bytearray()
        junk = random.Random(1234).randbytes(1 << 20)                    # lines of any length
        high = bytes(range(128, 256)) * 512 + b"\0" * 4096 + b"\r"       # above 127 and NUL
        endless = b"AT+CKPD=\"" + b"2" * 100_000 + b"\"\r"
        for blob in (junk, high, endless):
            for start in range(0, len(blob), 4096):
                phone.write(blob[start:start + 4096])
                received += phone.read(1 << 16, 0.001)
        while chunk := phone.read(1 << 16, 0.5):  # until the program has worked through it all
            received += chunk
        self.assertIn(b"OK\r\n", bytes(received))
        self.assertEqual(set(bytes(received).split(b"OK\r\n")), {b""}, "the program sends nothing but answers")
        phone.write(b"\rAT+CGMR\r")
        self.assertEqual(phone.read(8), b"OK\r\n" * 2)
        phone.write(b"AT\r" * 20_000)  # and reads nothing meanwhile: the answers wait, more than the terminal holds
        self.assertLess(self.program.busy_seconds(), 0.3, "the program spins on a device that does not read")
        self.assertEqual(phone.read(80_000, 10), b"OK\r\n" * 20_000)
        self.assertLess(self.program.busy_seconds(), 0.3, "the program keeps the processor busy")
        growth = rss_kib(self.program.proc.pid) - rss_before
        bound = 600_000 if os.environ.get("TAVLUN_SANITIZED") == "ON" else 200_000  # ASan's quarantine: 256 MiB
        self.assertLess(growth, bound, f"resident memory grew by {growth} KiB")


class CommandLine(unittest.TestCase):
    def test_help_version_and_a_wrong_option_need_no_window_system(self):
        wrong = "tavlun: Unknown option 'no-such-option'.\nTry 'tavlun --help' for more information.\n"
        more = "\nTry 'tavlun --help' for more information.\n"
        for args, status, out, err in ((["--version"], 0, r"^tavlun [0-9]+\.[0-9]+\.[0-9]+\n$", ""),
                                       (["-h"], 0, r"^(?![\s\S]*--platform )(?=[\s\S]*\n  -c, --connect <device> )"
                                                   r"(?=[\s\S]*\n  --minimised )[\s\S]*\[device\.\.\.\]", ""),
                                       (["--minimised", "--connect"], 2, "^$",
                                        "tavlun: Missing value after '--connect'." + more),
                                       (["-c", "/dev/a", "--connect", "/dev/b"], 2, "^$", "tavlun: --connect given 2 "
                                        "times (/dev/a, /dev/b): Tavlun keeps one device connected." + more),
                                       (["--help-all"], 0, r"\[device\.\.\.\][\s\S]*--platform <platformName", ""),
                                       (["--no-such-option", "/dev/ttyS0"], 2, "^$", wrong)):
            done = subprocess.run([BINARY, *args], env={"PATH": os.environ["PATH"]}, capture_output=True, text=True)
            self.assertEqual((done.returncode, done.stderr), (status, err), args)
            self.assertRegex(done.stdout, out, f"{args}: Qt's own options only with --help-all")
