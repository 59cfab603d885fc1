"""The Debian package: the desktop's validators and systemd's and udev's for the examples, then unpacked and started."""
import glob
import os
import re
import subprocess
import tempfile
import unittest

from desktop import Desktop  # the end-to-end tests' harness, on PYTHONPATH

VERSION = os.environ["TAVLUN_VERSION"]


def run(argv, **kw):
    res = subprocess.run(argv, capture_output=True, text=True, **kw)
    return res.returncode, res.stdout + res.stderr


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        tmp = tempfile.TemporaryDirectory(prefix="tavlun-deb-")
        cls.addClassCleanup(tmp.cleanup)
        made = run([os.environ["TAVLUN_CPACK"], "-G", "DEB", "-B", tmp.name, "--config",
                    os.path.join(os.environ["TAVLUN_BUILD_DIR"], "CPackConfig.cmake")])
        debs = glob.glob(tmp.name + "/*.deb")
        assert len(debs) == 1, f"cpack made {debs}: {made}"
        cls.deb, cls.root = debs[0], tmp.name + "/root"
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)
        [cls.entry] = glob.glob(cls.root + "/usr/share/applications/*.desktop")

    def test_the_desktops_validators_have_nothing_to_say(self):
        for argv, remark in [
                (["desktop-file-validate", self.entry], ""),
                (["appstreamcli", "validate-tree", "--no-net", "--pedantic", self.root + "/usr"],
                 r"\s*[EWIP]: \S+: (?!cid-contains-uppercase-letter)"),  # D-Bus style ids carry capitals
                (["lintian", "--display-info", "--fail-on", "error,warning", self.deb],
                 ".*hardening" if os.environ["TAVLUN_HARDENED"] == "ON" else "$^")]:  # not in sanitizer builds
            code, out = run(argv)
            remarks = [line for line in out.splitlines() if re.match(remark, line)]
            self.assertEqual((code, remarks), (0, []), f"{argv[0]}:\n{out}")

    def test_the_examples_that_start_it_with_the_adapter_pass_systemd_and_udev(self):
        examples, tmp = self.root + "/usr/share/doc/tavlun/examples/", tempfile.mkdtemp(dir=self.root)  # mode 0700
        with open(examples + "tavlun@.service") as f, open(unit := tmp + "/tavlun@ttyUSB0.service", "w") as out:
            out.write(f.read().replace("ExecStart=/usr/bin/tavlun --connect /dev/%I --minimised\n",  # the package's
                                       f"ExecStart={self.root}/usr/bin/tavlun --connect /dev/%I --minimised\n"))
        code, out = run(["systemd-analyze", "--user", "verify", unit],  # an instance as the rule asks for it
                        env=dict(os.environ, XDG_RUNTIME_DIR=tmp, MANPATH=self.root + "/usr/share/man"))  # its man page
        self.assertEqual((code, out), (0, ""), "systemd-analyze verify")
        names = [n for n in os.listdir(examples) if n.endswith(".rules")]  # udev 252 has no verify: udevadm test
        for name in names:  # with ids put in, where udev reads them, in a mount namespace of its own
            with open(examples + name) as f, open(os.path.join(tmp, name), "w") as out:
                out.write(f.read().replace("xxxx", "1a86").replace("yyyy", "7523"))
        code, out = run(["unshare", "--mount", "--propagation", "private"] + ["--map-root-user"] * bool(os.geteuid()) +
                        ["sh", "-c", f"mount --bind {tmp} /etc/udev/rules.d && udevadm test /sys/class/tty/console"])
        read, remarks = [n for n in names if f"Reading rules file: /etc/udev/rules.d/{n}" in out], re.findall("^/etc/.*", out, re.M)
        self.assertEqual((code, sorted(read), remarks), (0, sorted(names), []), f"udevadm test:\n{out}")

    def test_unpacked_it_tells_its_version_and_its_menu_entry_opens_the_main_window(self):
        bindir = self.root + "/usr/bin"
        for name in ("tavlun", "tavlun-accessory"):
            code, out = run([os.path.join(bindir, name), "--version"], timeout=30)
            self.assertEqual((code, out.split("\n")[0]), (0, f"{name} {VERSION}"), out)
        with open(self.entry, encoding="utf-8") as f:
            exec_line = re.search(r"^Exec=(.*)$", f.read(), re.M).group(1)
        title = "Tavlun    Ver. " + VERSION
        with Desktop() as desktop:
            program = desktop.start([w for w in exec_line.split() if not re.fullmatch("%[a-zA-Z]", w)],
                                    env={"PATH": bindir + os.pathsep + os.environ["PATH"]})
            self.assertEqual((desktop.titles(desktop.wait_window(title, 15)), program.poll()), ((title, title), None))
