"""`cmake --install` into a private prefix: the program, its desktop entry,
AppStream metadata, icons, manual page and example udev rule, each checked
with the tool that the desktop uses or that validates it."""

import os
import re
import subprocess
import unittest
import xml.etree.ElementTree as ET

from installed import (VERSION, TempDir, exec_argv, help_blocks, help_names, install_into,
                       man_arguments, man_options, man_sections, offscreen_env, png_size,
                       read_desktop_entry, read_man_source, run)

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

    # The program -----------------------------------------------------------

    def test_version_is_the_builds(self):
        res = run([self.path("bin/tavlun"), "--version"], env=offscreen_env())
        self.assertEqual(res.stdout.strip(), f"tavlun {VERSION}")

    # Desktop entry -----------------------------------------------------------

    def test_desktop_entry_validates(self):
        res = run(["desktop-file-validate", self.desktop_path], check=False)
        self.assertEqual((res.returncode, res.stdout + res.stderr), (0, ""),
                         "desktop-file-validate has something to say")

    def test_desktop_entry_names_an_id_in_reverse_dns(self):
        self.assertRegex(self.app_id, r"^[A-Za-z][\w-]*(\.[A-Za-z][\w-]*){2,}$")

    def test_desktop_entry_starts_the_installed_program(self):
        argv = exec_argv(self.entry)
        self.assertEqual(argv[0], "tavlun", "Exec names the program by name, found on PATH")
        self.assertTrue(os.access(self.path("bin/" + argv[0]), os.X_OK),
                        f"bin/{argv[0]} from Exec= is not installed")
        self.assertEqual(self.entry.get("Terminal"), "false")
        self.assertEqual(self.entry.get("Type"), "Application")
        self.assertEqual(self.entry.get("Name"), "Tavlun")

    def test_desktop_entry_comments_in_english_and_turkish(self):
        self.assertTrue(self.entry.get("Comment"), "no Comment")
        self.assertTrue(self.entry.get("Comment[tr]"), "no Comment[tr]")
        self.assertNotEqual(self.entry["Comment"], self.entry["Comment[tr]"])

    def test_desktop_entry_sits_in_the_utility_menu(self):
        categories = self.entry.get("Categories", "").split(";")
        self.assertIn("Utility", categories)

    def test_desktop_entry_icon_is_installed_in_hicolor(self):
        icon = self.entry.get("Icon")
        self.assertTrue(icon and "/" not in icon, f"Icon={icon} is not a theme icon name")
        for size in (16, 32, 48):
            self.assertExists(f"share/icons/hicolor/{size}x{size}/apps/{icon}.png")
        self.assertExists(f"share/icons/hicolor/scalable/apps/{icon}.svg")

    # Icons ----------------------------------------------------------------------

    def test_icons_have_the_size_of_their_folder(self):
        icon = self.entry["Icon"]
        for size in (16, 32, 48):
            path = self.path(f"share/icons/hicolor/{size}x{size}/apps/{icon}.png")
            self.assertEqual(png_size(path), (size, size), path)

    def test_scalable_icon_is_svg(self):
        path = self.path(f"share/icons/hicolor/scalable/apps/{self.entry['Icon']}.svg")
        root = ET.parse(path).getroot()
        self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")

    # AppStream ------------------------------------------------------------------

    def metainfo(self):
        path = self.path(f"share/metainfo/{self.app_id}.metainfo.xml")
        self.assertTrue(os.path.isfile(path), f"no metainfo named after {self.desktop_name}")
        return ET.parse(path).getroot()

    def test_metainfo_validates_with_its_desktop_entry(self):
        # validate-tree also checks that the launchable desktop entry exists.
        res = run(["appstreamcli", "validate-tree", "--no-net", "--pedantic", self.prefix],
                  check=False)
        issues = re.findall(r"^\s*([EWIP]): \S+: (\S+)", res.stdout, re.M)
        unexpected = [f"{level}: {tag}" for level, tag in issues
                      if not (level == "P" and tag in ACCEPTED_PEDANTIC)]
        self.assertEqual(unexpected, [], res.stdout)
        self.assertEqual(res.returncode, 0, res.stdout + res.stderr)

    def test_metainfo_id_and_launchable_match_the_desktop_entry(self):
        root = self.metainfo()
        self.assertEqual(root.get("type"), "desktop-application")
        self.assertEqual(root.findtext("id"), self.app_id)
        launchable = root.find("launchable[@type='desktop-id']")
        self.assertIsNotNone(launchable, "no desktop-id launchable")
        self.assertEqual(launchable.text, self.desktop_name)

    def test_metainfo_release_is_the_builds_version(self):
        releases = self.metainfo().findall("releases/release")
        self.assertTrue(releases, "no release in the metainfo")
        self.assertEqual(releases[0].get("version"), VERSION)
        self.assertRegex(releases[0].get("date", ""), r"^\d{4}-\d{2}-\d{2}$")

    def test_metainfo_licences_and_rating(self):
        root = self.metainfo()
        self.assertEqual(root.findtext("metadata_license"), "CC0-1.0")
        self.assertTrue(root.findtext("project_license"), "no project_license")
        self.assertIsNotNone(root.find("content_rating"), "no content_rating")
        binaries = [b.text for b in root.findall("provides/binary")]
        self.assertIn("tavlun", binaries)

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

    def test_man_page_carries_the_builds_version(self):
        th = next(line for line in read_man_source(self.man_path).splitlines()
                  if line.startswith(".TH"))
        self.assertIn(f'"tavlun {VERSION}"', th)

    def test_man_page_documents_the_sections_users_look_for(self):
        sections = man_sections(read_man_source(self.man_path))
        for name in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "PORT NUMBERS", "FILES",
                     "SEE ALSO"):
            self.assertIn(name, sections)
        text = "\n".join(sections["PORT NUMBERS"]).replace("\\-", "-")
        for device in ("ttyUSB", "ttyACM", "rfcomm", "ttyS", "COM"):
            self.assertIn(device, text, f"PORT NUMBERS does not mention {device}")

    def test_man_page_names_the_installed_udev_example(self):
        source = read_man_source(self.man_path).replace("\\-", "-").replace("\\%", "")
        examples = os.listdir(self.path("share/doc/tavlun/examples"))
        rules = [f for f in examples if f.endswith(".rules")]
        self.assertEqual(len(rules), 1, f"examples: {examples}")
        self.assertIn(rules[0], source, "the manual page names another udev rule file")
        self.assertIn("dialout", source)

    def test_help_lists_exactly_the_options_of_the_man_page(self):
        documented = man_options(read_man_source(self.man_path))
        self.assertTrue(documented, "no options found in the manual page")
        res = run([self.path("bin/tavlun"), "--help"], env=offscreen_env())
        blocks = help_blocks(res.stdout)
        offered = help_names(blocks.get("Options", []))
        self.assertEqual(offered, documented,
                         "--help and the manual page disagree on the options")
        self.assertEqual(help_names(blocks.get("Arguments", [])),
                         man_arguments(read_man_source(self.man_path)),
                         "--help and the manual page disagree on the arguments")

    def test_help_usage_matches_the_synopsis(self):
        res = run([self.path("bin/tavlun"), "--help"], env=offscreen_env())
        usage = res.stdout.splitlines()[0]
        synopsis = " ".join(man_sections(read_man_source(self.man_path))["SYNOPSIS"])
        match = re.search(r"\[(\w+)\.\.\.\]", usage)
        self.assertIsNotNone(match, f"no repeated argument in {usage!r}")
        self.assertIn(match.group(1), synopsis)

    def test_readme_names_the_udev_example_and_the_group(self):
        with open(self.path("share/doc/tavlun/README.md"), encoding="utf-8") as f:
            readme = f.read()
        name, _ = self.udev_rules()
        self.assertIn(name, readme, "the read-me names another udev rule file")
        self.assertIn("usermod -aG dialout", readme)

    # Example udev rule -----------------------------------------------------------

    def udev_rules(self):
        folder = self.path("share/doc/tavlun/examples")
        names = [f for f in os.listdir(folder) if f.endswith(".rules")]
        self.assertEqual(len(names), 1, f"examples: {names}")
        with open(os.path.join(folder, names[0]), encoding="utf-8") as f:
            return names[0], parse_udev_rules(f.read())

    def test_udev_example_parses(self):
        _, rules = self.udev_rules()
        self.assertTrue(rules, "no rules in the udev example")
        labels = {value for rule in rules for key, _, op, value in rule if key == "LABEL"}
        for rule in rules:
            for key, _, op, value in rule:
                if key == "GOTO":
                    self.assertIn(value, labels, f"GOTO to a missing label {value}")

    def test_udev_example_touches_only_the_adapter(self):
        _, rules = self.udev_rules()
        ids = {"idVendor": set(), "idProduct": set()}
        for rule in rules:
            assigns = [(k, a) for k, a, op, v in rule if op in ("=", "+=", "-=", ":=")
                       and k not in ("LABEL", "GOTO")]
            if not assigns:
                continue
            matched = {a: v for k, a, op, v in rule if k in ("ATTR", "ATTRS") and op == "=="}
            for attr in ids:
                self.assertIn(attr, matched, f"a rule that sets {assigns} matches any {attr}")
                ids[attr].add(matched[attr])
        for attr, values in ids.items():
            self.assertEqual(len(values), 1, f"{attr} differs between rules: {values}")

    def test_udev_example_sets_the_ignore_flags(self):
        name, rules = self.udev_rules()
        tty_ignored = any(("SUBSYSTEM", "", "==", "tty") in rule
                          and ("ENV", "ID_MM_DEVICE_IGNORE", "=", "1") in rule for rule in rules)
        self.assertTrue(tty_ignored, "ModemManager is not told to ignore the serial port")
        clears_wants = any(("ENV", "SYSTEMD_WANTS", "=", "") in rule for rule in rules)
        self.assertTrue(clears_wants, "the service that brltty's rule asks for is not dropped")
        # Later rules win: brltty's own rules file must come first.
        self.assertGreater(name, "85-brltty.rules")


UDEV_KEYS = {"ACTION", "DEVPATH", "KERNEL", "KERNELS", "NAME", "SYMLINK", "SUBSYSTEM",
             "SUBSYSTEMS", "DRIVER", "DRIVERS", "ATTR", "ATTRS", "SYSCTL", "TAG", "TAGS", "ENV",
             "CONST", "TEST", "PROGRAM", "RESULT", "OWNER", "GROUP", "MODE", "SECLABEL",
             "OPTIONS", "RUN", "LABEL", "GOTO", "IMPORT"}
UDEV_ITEM = re.compile(r'\s*([A-Z_]+)(?:\{([^}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*')


def parse_udev_rules(text):
    """Each rule as a list of (key, attribute, operator, value); raises on a
    line that udev would not take."""
    rules = []
    for number, line in enumerate(text.splitlines(), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        items, pos = [], 0
        while True:
            match = UDEV_ITEM.match(line, pos)
            if not match:
                raise AssertionError(f"line {number}: cannot parse {line[pos:]!r}")
            key, attr, op, value = match.groups()
            if key not in UDEV_KEYS:
                raise AssertionError(f"line {number}: unknown key {key}")
            if key in ("LABEL", "GOTO") and op != "=":
                raise AssertionError(f"line {number}: {key} takes '='")
            items.append((key, attr or "", op, value))
            pos = match.end()
            if pos == len(line):
                break
            if line[pos] != ",":
                raise AssertionError(f"line {number}: expected ',' at {line[pos:]!r}")
            pos += 1
        rules.append(items)
    return rules


if __name__ == "__main__":
    unittest.main(verbosity=2)
