"""The installer under wine: a silent install into Program Files with a Start-menu entry and an entry among the
installed programs, the installed program starting, and a silent uninstall that takes it all away."""

import os
import subprocess
import unittest

from winesession import WineDesktop, wait_until


class InstallerTest(unittest.TestCase):

    def test_installs_and_uninstalls_silently(self):
        desktop = WineDesktop(self)
        drive = os.path.join(desktop.env["WINEPREFIX"], "drive_c")
        folder = os.path.join(drive, "Program Files", "Tavlun")
        entry = os.path.join(drive, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Tavlun.lnk")
        wine = lambda *argv, **kw: subprocess.run(["wine", *argv], env=desktop.env, timeout=60, **kw)  # noqa: E731
        registered = lambda: (  # noqa: E731  the entry's values; "" once it has gone
            (query := wine("reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlun",
                           capture_output=True, text=True)).returncode == 0 and query.stdout)

        self.assertEqual(wine(os.environ["TAVLUN_SETUP"], "/S").returncode, 0)
        wait_until(lambda: os.path.exists(os.path.join(folder, "uninstall.exe")), 30, "the installed files")
        self.assertTrue(os.path.exists(os.path.join(folder, "tavlun.exe")) and os.path.exists(entry), entry)
        for value in ("DisplayName    REG_SZ    Tavlun", "DisplayVersion    REG_SZ    1.0.4",
                      'UninstallString    REG_SZ    "C:\\Program Files\\Tavlun\\uninstall.exe"'):
            self.assertIn(value, registered())
        program = desktop.program(r"C:\Program Files\Tavlun\tavlun.exe")
        program.proc.terminate()
        program.proc.wait(10)

        # The uninstaller copies itself away and returns at once; the rest follows.
        self.assertEqual(wine(os.path.join(folder, "uninstall.exe"), "/S").returncode, 0)
        wait_until(lambda: not os.path.exists(folder), 30, "the folder to go")
        self.assertFalse(os.path.exists(entry))
        wait_until(lambda: not registered(), 10, "the installed programs' entry to go")


if __name__ == "__main__":
    unittest.main()
