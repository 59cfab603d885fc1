"""`cmake --install` into a private prefix: the program, its desktop entry,
AppStream metadata, icons and manual page, each checked with the tool that
the desktop uses or that validates it."""

import os
import re
import subprocess
import unittest
import xml.etree.ElementTree as ET

from installed import (VERSION, TempDir, exec_argv, help_blocks, help_names, install_into,
                       man_tags, offscreen_env, png_size, read_desktop_entry,
                       read_man_source, run)

# A pedantic remark the project accepts: reverse-DNS ids in the D-Bus style
# carry capitals (org.example.Tavlun).
ACCEPTED_PEDANTIC = {"cid-contains-uppercase-letter"}


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = TempDir("tavlun-install-")
        cls.prefix = os.path.join(cls.tmp.path, "prefix")
        install_into(cls.prefix)
        apps = os.path.join(cls.prefix, "share", "applications")
        desktops = sorted(f for f in os.listdir(apps) if f.endswith(".desktop"))
        if len(desktops) != 1:
            raise AssertionError(f"expected one desktop entry in {apps}, found {desktops}")
        cls.desktop_name = desktops[0]
        cls.desktop_path = os.path.join(apps, cls.desktop_name)
        cls.app_id = cls.desktop_name[: -len(".desktop")]
        cls.entry = read_desktop_entry(cls.desktop_path)
        cls.man_path = cls.path("share/man/man1/tavlun.1.gz")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.close()

    @classmethod
    def path(cls, relative):
        return os.path.join(cls.prefix, relative)

    def assertExists(self, relative):
        self.assertTrue(os.path.isfile(self.path(relative)), f"{relative} is not installed")

    def test_program_metainfo_and_manual_carry_the_builds_version(self):
        res = run([self.path("bin/tavlun"), "--version"], env=offscreen_env())
        self.assertEqual(res.stdout.strip(), f"tavlun {VERSION}")
        path = self.path(f"share/metainfo/{self.app_id}.metainfo.xml")
        releases = ET.parse(path).getroot().findall("releases/release")
        self.assertTrue(releases, "no release in the metainfo")
        self.assertEqual(releases[0].get("version"), VERSION)
        th = next(line for line in read_man_source(self.man_path).splitlines()
                  if line.startswith(".TH"))
        self.assertIn(f'"tavlun {VERSION}"', th)

    # Desktop entry -----------------------------------------------------------

    def test_desktop_entry_validates(self):
        res = run(["desktop-file-validate", self.desktop_path], check=False)
        self.assertEqual((res.returncode, res.stdout + res.stderr), (0, ""),
                         "desktop-file-validate has something to say")

    def test_desktop_entry_starts_the_installed_program(self):
        argv = exec_argv(self.entry)
        self.assertEqual(argv[0], "tavlun", "Exec names the program by name, found on PATH")
        self.assertTrue(os.access(self.path("bin/" + argv[0]), os.X_OK),
                        f"bin/{argv[0]} from Exec= is not installed")

    def test_icons_are_in_hicolor_at_the_size_of_their_folder(self):
        icon = self.entry.get("Icon")
        self.assertTrue(icon and "/" not in icon, f"Icon={icon} is not a theme icon name")
        for size in (16, 32, 48):
            path = f"share/icons/hicolor/{size}x{size}/apps/{icon}.png"
            self.assertExists(path)
            self.assertEqual(png_size(self.path(path)), (size, size), path)
        self.assertExists(f"share/icons/hicolor/scalable/apps/{icon}.svg")

    # AppStream ------------------------------------------------------------------

    def test_metainfo_validates_with_its_desktop_entry(self):
        # validate-tree also checks that the launchable desktop entry exists.
        res = run(["appstreamcli", "validate-tree", "--no-net", "--pedantic", self.prefix],
                  check=False)
        issues = re.findall(r"^\s*([EWIP]): \S+: (\S+)", res.stdout, re.M)
        unexpected = [f"{level}: {tag}" for level, tag in issues
                      if not (level == "P" and tag in ACCEPTED_PEDANTIC)]
        self.assertEqual(unexpected, [], res.stdout)
        self.assertEqual(res.returncode, 0, res.stdout + res.stderr)

    # Manual page -------------------------------------------------------------

    def test_man_page_renders_without_warnings(self):
        source = read_man_source(self.man_path)
        res = subprocess.run(["groff", "-man", "-ww", "-z"], input=source,
                             capture_output=True, text=True)
        self.assertEqual((res.returncode, res.stderr), (0, ""), "groff warns")
        res = run(["man", "--warnings", "-l", self.man_path],
                  env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0",
                           LC_ALL="C.UTF-8"), check=False)
        self.assertEqual((res.returncode, res.stderr), (0, ""), "man warns")
        self.assertIn("tavlun", res.stdout)

    def test_help_lists_exactly_the_options_of_the_man_page(self):
        documented = man_tags(read_man_source(self.man_path), "OPTIONS")
        self.assertTrue(documented, "no options found in the manual page")
        res = run([self.path("bin/tavlun"), "--help"], env=offscreen_env())
        blocks = help_blocks(res.stdout)
        offered = help_names(blocks.get("Options", []))
        self.assertEqual(offered, documented,
                         "--help and the manual page disagree on the options")
        self.assertEqual(help_names(blocks.get("Arguments", [])),
                         man_tags(read_man_source(self.man_path), "ARGUMENTS"),
                         "--help and the manual page disagree on the arguments")


if __name__ == "__main__":
    unittest.main(verbosity=2)
