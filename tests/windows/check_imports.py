"""Fails unless the program imports only DLLs that every Windows has: a
static build carries its C++ runtime inside (libstdc++, libgcc and
winpthread DLLs would have to ship beside it)."""

import re
import subprocess
import sys

SYSTEM = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll",
          "setupapi.dll", "shell32.dll", "user32.dll", "ole32.dll", "uxtheme.dll", "ws2_32.dll"}

objdump, exe = sys.argv[1:3]
dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
if not imported or imported - SYSTEM:
    sys.exit(f"{exe} imports {sorted(imported)}; not system DLLs: {sorted(imported - SYSTEM)}")
print(f"{exe} imports only system DLLs: {', '.join(sorted(imported))}")
