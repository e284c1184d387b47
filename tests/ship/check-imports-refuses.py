#!/usr/bin/env python3
"""Proves that the import check refuses what would stop a file loading, and only that.

    check-imports-refuses.py SAMPLE CHECKER...

Runs CHECKER (the check's command line) on SAMPLE, a program that imports one function of each kind
the check must refuse beside functions every system has, judged as a file that must also load on
Windows 98 SE. Prints each wrong judgement; exits 1 when there is one.
"""

import os
import re
import subprocess
import sys

# Each import of the sample and what the check must say of it; None: nothing, it loads everywhere.
EXPECTED = [
    ("KERNEL32.dll!GetTickCount64", "is not on Windows 2000"),               # guarded in the headers
    ("KERNEL32.dll!AddVectoredExceptionHandler", "is not on Windows 2000"),  # declared unguarded
    ("msvcrt.dll!_aligned_malloc", "is not on Windows 2000"),
    ("KERNEL32.dll!GetFileSizeEx", "is not on Windows 98 SE"),
    ("ADVAPI32.dll!ConvertSidToStringSidA", "is not on Windows 98 SE"),
    ("SHELL32.dll!#162", "cannot be judged"),
    ("libwinpthread-1.dll", "is no part of Windows"),
    ("KERNEL32.dll!CreateFileA", None),
    ("KERNEL32.dll!GetDiskFreeSpaceExA", None),
    ("SETUPAPI.dll!SetupDiGetClassDevsA", None),
    ("COMCTL32.DLL!InitCommonControlsEx", None),
    ("ADVAPI32.dll!OpenProcessToken", None),  # Windows 98 exports it as a stub that fails: it loads
    ("msvcrt.dll!strtol", None),
]


def main():
    sample, checker = sys.argv[1], sys.argv[2:]
    run = subprocess.run([*checker, "--win98", sample], capture_output=True, text=True)
    print(run.stdout, end="")
    print(run.stderr, end="", file=sys.stderr)
    name = re.escape(os.path.basename(sample))
    verdict = r"is not on [^(]+?|cannot be judged|is no part of Windows"
    verdicts = dict(re.findall(rf"^{name}: (\S+) ({verdict}) \(", run.stdout, re.MULTILINE))

    faults = []
    if run.returncode != 1:
        faults.append(f"the check ended with {run.returncode}, not 1 (offenders found)")
    for what, expected in EXPECTED:
        function = what.split("!")[-1]
        said = verdicts.get(what)
        if not re.search(rf"(?<!\S){re.escape(function)}(?!\S)", run.stdout):
            faults.append(f"{what} is not among the sample's imports as listed: this case proves nothing")
        elif expected and said != expected:
            faults.append(f"{what}: the check said {said!r}, not {expected!r}: "
                          "a file importing it would be shipped")
        elif not expected and said:
            faults.append(f"{what}: the check said {said!r}, yet every system of ours has it")
    for fault in faults:
        print(f"FAULT: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
