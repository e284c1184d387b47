#!/usr/bin/env python3
"""Checks that every shipped file loads on the oldest Windows it must run on.

    check-imports.py [--cc GCC] [--objdump OBJDUMP] [--win2000 FILE...] [--win98 FILE...]

--win2000 files must load on Windows 2000 SP4 and XP; --win98 files on Windows 98 SE and Me too.
The Windows loader refuses a program when a DLL it imports lacks one of the functions it imports,
so every function a file imports from a system DLL is judged:

  - by the MinGW-w64 headers' own version guards: a name the headers do not declare when compiling
    for _WIN32_WINNT=0x0500 is not on Windows 2000;
  - by the short lists below, for what those guards do not tell: functions the headers declare
    unguarded although Windows XP brought them, the NT-only functions Windows 98 and Me lack, and
    the C run time msvcrt.dll, of which the headers say nothing.

Windows XP has all that Windows 2000 has, and Me all that 98 SE has, so the oldest of each family
decides. Prints what each file imports and every import that stops it loading somewhere; exits 1
when there is one, 2 when a file or the headers cannot be read.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import textwrap
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass

WIN2000 = "Windows 2000"
WIN98 = "Windows 98 SE"

# The DLLs of Windows 98 SE and of Windows 2000 that the shipped files use or plausibly will. Any
# other DLL is no part of Windows, unless it is shipped beside the file (it is then checked itself).
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll",
    "comctl32.dll", "comdlg32.dll", "ole32.dll", "oleaut32.dll", "ws2_32.dll", "wininet.dll",
    "msimg32.dll", "hhctrl.ocx", "setupapi.dll", "version.dll", "winmm.dll", "msvcrt.dll",
    "psapi.dll", "uxtheme.dll",
}
# System DLLs that the older family lacks altogether.
DLLS_NOT_ON = {
    "psapi.dll": (WIN98, "NT only"),
    "uxtheme.dll": (WIN2000, "Windows XP and later"),
}

# The headers that declare the functions of the DLLs above.
HEADERS = [
    "winsock2.h", "ws2tcpip.h", "windows.h", "shellapi.h", "shlobj.h", "shlwapi.h", "commctrl.h",
    "commdlg.h", "setupapi.h", "wininet.h", "sddl.h", "aclapi.h", "htmlhelp.h", "psapi.h", "uxtheme.h",
]
HEADERS_WIN2000 = ["-D_WIN32_WINNT=0x0500", "-DWINVER=0x0500", "-D_WIN32_IE=0x0500"]
# A name the headers do not declare even for the newest Windows cannot be judged by them at all.
HEADERS_NEWEST = ["-D_WIN32_WINNT=0x0A00", "-DWINVER=0x0A00", "-D_WIN32_IE=0x0A00"]

# Declared by the headers without a version guard, yet first exported by a later Windows: the
# "Minimum supported client" of each function's Microsoft documentation.
NOT_ON_WIN2000 = {
    "kernel32.dll": {
        "AddVectoredExceptionHandler": "Windows XP",
        "RemoveVectoredExceptionHandler": "Windows XP",
        "AttachConsole": "Windows XP",
        "CheckRemoteDebuggerPresent": "Windows XP SP1",
        "GetModuleHandleExA": "Windows XP",
        "GetModuleHandleExW": "Windows XP",
        "GetNativeSystemInfo": "Windows XP",
        "GetProcessId": "Windows XP SP1",
        "GetSystemTimes": "Windows XP SP1",
        "GetVolumePathNamesForVolumeNameA": "Windows XP",
        "InitializeSListHead": "Windows XP",
        "InterlockedFlushSList": "Windows XP",
        "InterlockedPopEntrySList": "Windows XP",
        "InterlockedPushEntrySList": "Windows XP",
        "IsWow64Process": "Windows XP SP2",
        "SetDllDirectoryA": "Windows XP SP1",
        "SetDllDirectoryW": "Windows XP SP1",
    },
    "user32.dll": {
        "GetLayeredWindowAttributes": "Windows XP",
        "PrintWindow": "Windows XP",
    },
    # Windows 2000 has these in wship6.dll only.
    "ws2_32.dll": {
        "freeaddrinfo": "Windows XP",
        "getaddrinfo": "Windows XP",
        "getnameinfo": "Windows XP",
    },
}

# NT-only functions that Windows 98 SE and Me do not export. Their documentation (MSDN Library,
# April 2000) gives "Windows 95/98: Unsupported" and the NT release that brought each. Not listed,
# because they load: what 98 exports as a stub that fails when called, such as OpenProcessToken,
# GetTokenInformation and most W functions ("Windows 95 provides stub routines for these
# unsupported functions", MSDN, Windows 95 General Limitations).
NOT_ON_WIN98 = {
    "kernel32.dll": {
        "CreateHardLinkA": "Windows 2000",
        "GetFileSizeEx": "Windows 2000",
        "GetHandleInformation": "Windows NT 3.51",
        "GlobalMemoryStatusEx": "Windows 2000",
        "SetFilePointerEx": "Windows 2000",
        "SetHandleInformation": "Windows NT 3.51",
        "TryEnterCriticalSection": "Windows NT 4.0",
    },
    "advapi32.dll": {
        "ConvertSidToStringSidA": "Windows 2000",
        "ConvertStringSidToSidA": "Windows 2000",
    },
    "user32.dll": {
        "SetLayeredWindowAttributes": "Windows 2000",
        "UpdateLayeredWindow": "Windows 2000",
    },
}

# msvcrt.dll is 6.0 (that of Visual C++ 6) on Windows 98 SE, 6.1 on Windows 2000 and 7.0 on XP.
# What the Windows 2000 one lacks, by the first system whose msvcrt.dll exports it; besides these,
# every function whose name ends in "_s" (the secure functions came with Windows Vista).
MSVCRT_NOT_ON_WIN2000 = {
    "_aligned_free": "Windows XP",
    "_aligned_malloc": "Windows XP",
    "_aligned_realloc": "Windows XP",
    "_fseeki64": "Windows Vista",
    "_ftelli64": "Windows Vista",
}
# What Visual C++ 7.0 added to the C run time, so that the msvcrt.dll of Windows 98 SE lacks it:
# the 64-bit time functions (a 64-bit time_t imports them), the locale accessors and __iob_func
# that newer MinGW-w64 headers call, and the 64-bit string conversions.
MSVCRT_NOT_ON_WIN98 = {
    "_ctime64", "_fstat64", "_gmtime64", "_localtime64", "_mktime64", "_stat64", "_time64",
    "_wstat64", "__iob_func", "___lc_codepage_func", "___mb_cur_max_func", "_strtoi64",
    "_strtoui64", "_vscprintf",
}

IDENTIFIER = re.compile(r"^[A-Za-z_]\w*$")


class CheckError(Exception):
    """A file or the headers could not be read: nothing was judged."""


@dataclass(frozen=True)
class Import:
    dll: str           # as the file names it, e.g. "KERNEL32.dll"
    name: str | None   # None for an import by ordinal
    ordinal: int | None = None

    @property
    def key(self):
        """The DLL as the tables here name it: Windows matches DLL names in any case."""
        return self.dll.lower()

    def __str__(self):
        return f"{self.dll}!{self.name}" if self.name else f"{self.dll}!#{self.ordinal}"


@dataclass(frozen=True)
class Offence:
    what: str     # the import or the DLL
    verdict: str  # "is not on Windows 2000", "cannot be judged", ...
    reason: str


def read_imports(objdump, path):
    """The static import table of a PE file, as objdump -p interprets it."""
    run = subprocess.run([objdump, "-p", path], capture_output=True, text=True)
    if run.returncode != 0:
        raise CheckError(f"{path}: {objdump} cannot read it: {run.stderr.strip()}")
    imports, dll, in_table = [], None, False
    for line in run.stdout.splitlines():
        if line.startswith("The Import Tables"):
            in_table = True
        elif in_table and line[:1] not in ("", " ", "\t"):
            break  # the next table
        elif in_table and line.startswith("\tDLL Name: "):
            dll = line.split(":", 1)[1].strip()
        elif in_table and dll:
            # "\t<thunk>\t <hint or ordinal>  <name or <none>>"
            entry = re.match(r"^\t[0-9a-fA-F]+\t\s*(\d+)\s+(\S+)", line)
            if entry and entry.group(2) == "<none>":
                imports.append(Import(dll, None, int(entry.group(1))))
            elif entry:
                imports.append(Import(dll, entry.group(2)))
    if not imports:
        raise CheckError(f"{path}: no import table found (not a PE file, or objdump prints it differently)")
    return list(dict.fromkeys(imports))  # a DLL may have two import descriptors


def undeclared(cc, names, defines):
    """The names the headers do not declare with these defines: name -> the compiler's words."""
    lines = [f"#include <{header}>" for header in HEADERS] + ["void probe(void)", "{"]
    first = len(lines) + 1
    lines += [f"  (void)&{name};" for name in names] + ["}"]
    with tempfile.NamedTemporaryFile("w", suffix=".c", delete=False) as probe:
        probe.write("\n".join(lines) + "\n")
    try:
        run = subprocess.run([cc, "-fsyntax-only", "-w", *defines, probe.name],
                             capture_output=True, text=True, env={**os.environ, "LC_ALL": "C"})
    finally:
        os.unlink(probe.name)
    found = {}
    for line in run.stderr.splitlines():
        if "error:" not in line:
            continue
        error = re.match(rf"^{re.escape(probe.name)}:(\d+):\d+: error: (.*)$", line)
        index = int(error.group(1)) - first if error else -1
        if not 0 <= index < len(names):  # not about one of the names: the headers themselves fail
            raise CheckError(f"the headers do not compile with {' '.join(defines)}:\n{run.stderr}")
        found.setdefault(names[index], error.group(2))
    if run.returncode != 0 and not found:
        raise CheckError(f"{cc} failed:\n{run.stderr}")
    return found


class Oracle:
    """Judges the imports of all files at once: the headers are compiled twice, not per file."""

    def __init__(self, cc, imports):
        names = sorted({i.name for i in imports if i.name and IDENTIFIER.match(i.name)
                        and i.key in SYSTEM_DLLS and i.key != "msvcrt.dll"})
        with ThreadPoolExecutor(2) as pool:
            win2000 = pool.submit(undeclared, cc, names, HEADERS_WIN2000)
            newest = pool.submit(undeclared, cc, names, HEADERS_NEWEST)
            self.not_for_win2000, self.not_for_any = win2000.result(), newest.result()

    def judge(self, imp, systems):
        """Why the import stops the file loading on one of the systems; None when it does not."""
        if imp.name is None:
            return Offence(str(imp), "cannot be judged", "imported by ordinal: import it by name")
        if imp.key == "msvcrt.dll":
            return self.judge_msvcrt(imp, systems)
        if imp.name in self.not_for_any or not IDENTIFIER.match(imp.name):
            return Offence(str(imp), "cannot be judged",
                           f"no header declares it: {self.not_for_any.get(imp.name, 'not a C name')}")
        if imp.name in self.not_for_win2000:
            return Offence(str(imp), f"is not on {WIN2000}", "not declared for _WIN32_WINNT=0x0500")
        since = NOT_ON_WIN2000.get(imp.key, {}).get(imp.name)
        if since:
            return Offence(str(imp), f"is not on {WIN2000}", f"{since} and later")
        since = NOT_ON_WIN98.get(imp.key, {}).get(imp.name)
        if since and WIN98 in systems:
            return Offence(str(imp), f"is not on {WIN98}", f"NT only, since {since}")
        return None

    @staticmethod
    def judge_msvcrt(imp, systems):
        if imp.name.endswith("_s"):
            return Offence(str(imp), f"is not on {WIN2000}",
                           "a secure C run-time function: msvcrt.dll of Windows Vista and later")
        if imp.name in MSVCRT_NOT_ON_WIN2000:
            return Offence(str(imp), f"is not on {WIN2000}",
                           f"msvcrt.dll of {MSVCRT_NOT_ON_WIN2000[imp.name]} and later")
        if imp.name in MSVCRT_NOT_ON_WIN98 and WIN98 in systems:
            return Offence(str(imp), f"is not on {WIN98}",
                           "msvcrt.dll 6.0 lacks it: Visual C++ 7.0 and later")
        return None


def judge_file(oracle, imports, systems, shipped):
    """The offences of one file: whole DLLs first, then single imports."""
    offences = []
    for dll in sorted({i.dll for i in imports}, key=str.lower):
        key = dll.lower()
        if key in shipped:
            continue
        if key not in SYSTEM_DLLS:
            offences.append(Offence(dll, "is no part of Windows", "nor shipped beside the file"))
        elif key in DLLS_NOT_ON and DLLS_NOT_ON[key][0] in systems:
            system, reason = DLLS_NOT_ON[key]
            offences.append(Offence(dll, f"is not on {system}", reason))
    for imp in imports:
        if imp.key in SYSTEM_DLLS:
            offence = oracle.judge(imp, systems)
            if offence:
                offences.append(offence)
    return offences


def listing(imports):
    """Per DLL, the names imported from it, wrapped."""
    lines = []
    for dll in sorted({i.dll for i in imports}, key=str.lower):
        names = sorted((i.name or f"#{i.ordinal}" for i in imports if i.dll == dll), key=str.lower)
        lines += textwrap.wrap(f"{dll} ({len(names)}): {' '.join(names)}", width=110,
                               initial_indent="  ", subsequent_indent="      ", break_on_hyphens=False)
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cc", default="i686-w64-mingw32-gcc",
                        help="the MinGW-w64 C compiler whose headers judge")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--win2000", nargs="+", action="extend", default=[], metavar="FILE",
                        help="files that must load on Windows 2000 SP4 and XP")
    parser.add_argument("--win98", nargs="+", action="extend", default=[], metavar="FILE",
                        help="files that must load on Windows 98 SE, Me, 2000 SP4 and XP")
    args = parser.parse_args()
    files = ([(path, (WIN2000,)) for path in args.win2000] +
             [(path, (WIN98, WIN2000)) for path in args.win98])
    if not files:
        parser.error("no files to check")

    try:
        imports = {path: read_imports(args.objdump, path) for path, _ in files}
        oracle = Oracle(args.cc, [i for found in imports.values() for i in found])
    except (CheckError, OSError) as error:  # OSError: a tool is missing
        print(f"check-imports: {error}", file=sys.stderr)
        return 2

    shipped = {os.path.basename(path).lower() for path, _ in files}
    count, offences = 0, 0
    for path, systems in files:
        name = os.path.basename(path)
        found = judge_file(oracle, imports[path], systems, shipped)
        print(f"{name}: {len(imports[path])} imports, judged for {' and '.join(systems)}")
        print("\n".join(listing(imports[path])))
        for offence in found:
            print(f"{name}: {offence.what} {offence.verdict} ({offence.reason})")
        count += len(imports[path])
        offences += len(found)
    verdict = f"{offences} offenders" if offences else "every file loads on its systems"
    print(f"check-imports: {len(files)} file{'s' * (len(files) != 1)}, {count} imports: {verdict}")
    return 1 if offences else 0


if __name__ == "__main__":
    sys.exit(main())
