"""Helpers for the installation tests: installing the build into a private
prefix, and reading what landed there (desktop entries, PNG headers,
manual pages, the program's --help)."""

import gzip
import os
import re
import shlex
import shutil
import struct
import subprocess
import tempfile

BUILD_DIR = os.environ["TAVLUN_BUILD_DIR"]
VERSION = os.environ["TAVLUN_VERSION"]
CMAKE = os.environ.get("TAVLUN_CMAKE", "cmake")
CPACK = os.environ.get("TAVLUN_CPACK", "cpack")
MAIN_TITLE = "Tavlun    Ver. " + VERSION


def run(argv, check=True, **kw):
    res = subprocess.run(argv, capture_output=True, text=True, **kw)
    if check and res.returncode != 0:
        raise AssertionError(f"{' '.join(argv)} exited {res.returncode}:\n"
                             f"{res.stdout}{res.stderr}")
    return res


def install_into(prefix):
    """`cmake --install` of the build into `prefix`."""
    run([CMAKE, "--install", BUILD_DIR, "--prefix", prefix])


class TempDir:
    def __init__(self, prefix):
        self.path = tempfile.mkdtemp(prefix=prefix)

    def close(self):
        shutil.rmtree(self.path, ignore_errors=True)


def offscreen_env(**extra):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["QT_QPA_PLATFORM"] = "offscreen"
    env.update(extra)
    return env


# Desktop entries -----------------------------------------------------------

def read_desktop_entry(path):
    """The keys of the [Desktop Entry] group, as a dict."""
    keys = {}
    group = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line.strip("[]")
                continue
            if group == "Desktop Entry" and "=" in line:
                key, value = line.split("=", 1)
                keys[key.strip()] = value.strip()
    return keys


def exec_argv(entry):
    """The command line of a desktop entry's Exec key as a launcher runs it
    with no files to open: quoting undone, field codes dropped."""
    return [word for word in shlex.split(entry["Exec"]) if not re.fullmatch(r"%[a-zA-Z]", word)]


# Images ----------------------------------------------------------------------

def png_size(path):
    """(width, height) from a PNG file's IHDR chunk."""
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


# Manual pages ------------------------------------------------------------------

def read_man_source(path):
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt", encoding="utf-8") as f:
        return f.read()


def man_sections(source):
    """Section name -> list of roff lines in it."""
    sections = {}
    current = None
    for line in source.splitlines():
        match = re.match(r'^\.SH\s+"?([^"]*)"?\s*$', line)
        if match:
            current = match.group(1).strip()
            sections[current] = []
        elif current:
            sections[current].append(line)
    return sections


def _roff_text(line):
    """A roff request line reduced to its words: escapes undone, macro and
    quotes dropped."""
    line = re.sub(r"^\.\w+\s*", "", line)
    line = line.replace("\\-", "-").replace("\\%", "").replace("\\&", "")
    line = re.sub(r"\\f[BIRP]", "", line)
    return line.replace('"', "")


def man_tags(source, section):
    """The words of the tag lines of a section's tagged paragraphs: the
    options of OPTIONS, the argument names of ARGUMENTS."""
    lines = man_sections(source).get(section, [])
    return {word for i, line in enumerate(lines[:-1]) if line.startswith(".TP")
            for word in _roff_text(lines[i + 1]).replace(",", " ").split()}


# The program's --help ------------------------------------------------------------

def help_blocks(text):
    """Heading ("Options", "Arguments") -> the lines under it."""
    blocks = {}
    current = None
    for line in text.splitlines():
        match = re.match(r"^(\w+):$", line)
        if match:
            current = match.group(1)
            blocks[current] = []
        elif current and line.strip():
            blocks[current].append(line)
        elif not line.strip():
            current = None
    return blocks


def help_names(lines):
    """The names in the first column of an option or argument list; lines
    that continue a description are indented further and skipped."""
    names = set()
    for line in lines:
        match = re.match(r"^  (\S.*?)(?:\s{2,}|$)", line)
        if match:
            names.update(n.strip() for n in match.group(1).split(","))
    return names
