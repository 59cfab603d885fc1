"""The installer under wine: a silent install into Program Files with a
Start-menu entry and an entry among the installed programs, the installed
program starting, and a silent uninstall that takes it all away."""

import os
import subprocess
import unittest

from winesession import Program, wait_until, wine_desktop

SETUP = os.environ.get("TAVLUN_SETUP")
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlun"


class InstallerTest(unittest.TestCase):

    def test_installs_and_uninstalls_silently(self):
        desktop = wine_desktop(self)
        drive = os.path.join(desktop.env["WINEPREFIX"], "drive_c")
        folder = os.path.join(drive, "Program Files", "Tavlun")
        entry = os.path.join(drive, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Tavlun.lnk")

        def registered():  # the entry's values; "" once it has gone
            query = subprocess.run(["wine", "reg", "query", UNINSTALL_KEY], env=desktop.env, capture_output=True,
                                   text=True)
            return query.stdout if query.returncode == 0 else ""

        self.assertEqual(subprocess.run(["wine", SETUP, "/S"], env=desktop.env, timeout=60).returncode, 0)
        wait_until(lambda: os.path.exists(os.path.join(folder, "uninstall.exe")), 30, "the installed files")
        self.assertTrue(os.path.exists(os.path.join(folder, "tavlun.exe")))
        self.assertTrue(os.path.exists(entry), entry)
        listed = registered()
        for value in ("DisplayName    REG_SZ    Tavlun", "DisplayVersion    REG_SZ    1.0.4",
                      'UninstallString    REG_SZ    "C:\\Program Files\\Tavlun\\uninstall.exe"'):
            self.assertIn(value, listed)

        program = Program(desktop, "wine", [r"C:\Program Files\Tavlun\tavlun.exe"])
        program.proc.terminate()
        program.proc.wait(10)

        # The uninstaller copies itself away and returns at once; the rest follows.
        self.assertEqual(subprocess.run(["wine", os.path.join(folder, "uninstall.exe"), "/S"], env=desktop.env,
                                        timeout=60).returncode, 0)
        wait_until(lambda: not os.path.exists(folder), 30, "the folder to go")
        self.assertFalse(os.path.exists(entry))
        wait_until(lambda: not registered(), 10, "the installed programs' entry to go")


if __name__ == "__main__":
    unittest.main()
