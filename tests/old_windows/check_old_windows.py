#!/usr/bin/env python3
"""Checks that the i686 kardum2.exe can load on every Windows from 95 to 11.

- Its import table matches the list of allowed functions exactly: a new import
  fails until it is listed with its oldest Windows and a source; a listed import
  that is gone fails too, so the list stays true.
- Every function it may call exists on Windows 95 (kernel32, user32, advapi32;
  msvcrt.dll on 98, and on 95 where an update brought it) and NT 4.0, and none
  is a wide-character function, which 95, 98 and ME export only as a failing
  stub. A function resolved at run time may be newer where an older place for
  the same function is listed too.
- Its PE header asks for no Windows newer than 4.0.
- Its manifest declares at most one namespace per element and no namespace
  twice: Windows XP SP2 and Server 2003 RTM crash on a duplicated one
  (Microsoft KB 921337).

Usage: check_old_windows.py EXE OBJDUMP LIST
"""
import re
import subprocess
import sys
import xml.parsers.expat

OLDEST_9X = {"95": 0, "98": 1, "-": 9}
OLDEST_NT = {"3.51": 0, "4.0": 1, "2000": 2, "XP": 3, "Vista": 4, "7": 5}


def read_list(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 6:
                raise SystemExit(f"{path}:{number}: expected 6 tab-separated fields")
            dll, function, how, nine_x, nt, source = fields
            if how not in ("import", "runtime") or nine_x not in OLDEST_9X or nt not in OLDEST_NT:
                raise SystemExit(f"{path}:{number}: bad how, 9x or nt field")
            if not source.strip():
                raise SystemExit(f"{path}:{number}: {function} has no source")
            rows.append((dll.lower(), function, how, nine_x, nt))
    return rows


def read_imports(exe, objdump):
    dump = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    imports = set()
    dll = None
    for line in dump.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
            continue
        entry = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if dll and entry:
            imports.add((dll, entry.group(1)))
        elif not line.strip():
            dll = None
    return dump, imports


def header_versions(dump):
    versions = {}
    for field in ("MajorOSystemVersion", "MinorOSystemVersion",
                  "MajorSubsystemVersion", "MinorSubsystemVersion"):
        found = re.search(rf"^{field}\s+(\d+)", dump, re.M)
        versions[field] = int(found.group(1)) if found else None
    return versions


def manifest_faults(image):
    start = image.find(b"<?xml")
    end = image.find(b"</assembly>", start)
    if start < 0 or end < 0:
        return ["no manifest found"]
    faults = []
    declared = {}
    parser = xml.parsers.expat.ParserCreate()  # namespaces left as plain attributes

    def start_element(name, attributes):
        spaces = [value for key, value in attributes.items()
                  if key == "xmlns" or key.startswith("xmlns:")]
        if len(spaces) > 1:
            faults.append(f"<{name}> declares {len(spaces)} namespaces")
        for space in spaces:
            if space in declared:
                faults.append(f"<{name}> declares {space} again (first on <{declared[space]}>)")
            declared.setdefault(space, name)

    parser.StartElementHandler = start_element
    try:
        parser.Parse(image[start:end + len(b"</assembly>")], True)
    except xml.parsers.expat.ExpatError as error:
        faults.append(f"the manifest is not well-formed XML: {error}")
    return faults


def is_wide(dll, function):
    return dll != "msvcrt.dll" and re.search(r"[a-z0-9]W$", function) is not None


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    exe, objdump, list_path = sys.argv[1:]
    rows = read_list(list_path)
    dump, imports = read_imports(exe, objdump)
    with open(exe, "rb") as f:
        image = f.read()
    failures = []

    listed_imports = {(dll, function) for dll, function, how, _, _ in rows if how == "import"}
    for dll, function in sorted(imports - listed_imports):
        failures.append(f"new import {dll}!{function}: list it in {list_path} "
                        "with its oldest Windows and a source")
    for dll, function in sorted(listed_imports - imports):
        failures.append(f"{dll}!{function} is listed as an import but not imported")
    for dll, function, how, _, _ in rows:
        if how == "runtime" and (b"\0" + function.encode() + b"\0" not in image or
                                 dll.encode() not in image.lower()):
            failures.append(f"{dll}!{function} is listed as resolved at run time, "
                            "but the program does not name it")

    # The oldest place each function can be had from, over all its rows.
    oldest = {}
    for dll, function, how, nine_x, nt in rows:
        if is_wide(dll, function):
            failures.append(f"{dll}!{function} is a wide-character function")
        best = oldest.get(function, (9, 9))
        oldest[function] = (min(best[0], OLDEST_9X[nine_x]), min(best[1], OLDEST_NT[nt]))
        if how == "import":
            # Only msvcrt.dll may be missing from Windows 95 itself.
            limit = OLDEST_9X["98"] if dll == "msvcrt.dll" else OLDEST_9X["95"]
            if OLDEST_9X[nine_x] > limit or OLDEST_NT[nt] > OLDEST_NT["4.0"]:
                failures.append(f"{dll}!{function} is imported but needs Windows {nine_x} / NT {nt}")
    for function, (nine_x, nt) in sorted(oldest.items()):
        if nine_x > OLDEST_9X["98"] or nt > OLDEST_NT["4.0"]:
            failures.append(f"{function} has no place on Windows 98 and NT 4.0")

    versions = header_versions(dump)
    for kind in ("OSystem", "Subsystem"):
        major, minor = versions[f"Major{kind}Version"], versions[f"Minor{kind}Version"]
        if major is None or minor is None or (major, minor) > (4, 0):
            failures.append(f"the PE header asks for {kind} version {major}.{minor}, above 4.0")

    failures += [f"manifest: {fault}" for fault in manifest_faults(image)]

    for failure in failures:
        print(f"FAIL: {failure}")
    if failures:
        return 1
    dlls = sorted({dll for dll, _ in imports})
    print(f"PASS: {len(imports)} imports from {', '.join(dlls)}, all listed; "
          f"{len(rows) - len(listed_imports)} run-time functions; header 4.0; manifest safe")
    return 0


if __name__ == "__main__":
    sys.exit(main())
