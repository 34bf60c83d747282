"""What the build and the tests ask of a Windows program's PE file, read with pefile.
    pe.py machine PROGRAM.exe      i386 (PE32) or amd64 (PE32+)
    pe.py version PROGRAM.exe      its version record's file version and language: "1.3.0.0 1033"
    pe.py check PROGRAM.exe --machine i386 --floor 5.1 --imports LIST --max-bytes N --map LINK.map
                --objdump OBJDUMP [--subsystem 2|3] [--signed] [--quiet]
The check of a shipped exe: its size (a signature does not count); its header (machine, PE32 or
PE32+, a GUI or console program, large-address-aware, no link time stamp, the floor's OS and
subsystem versions); its imports, only KnownDLLs, each against the list of the first Windows that
exports it; and its hardening, printed as a table.
"""
import argparse
import re
import subprocess
import sys

import pefile

MACHINES = {0x14C: ("i386", 0x10B), 0x8664: ("amd64", 0x20B)}  # and the optional header's magic
LARGE_ADDRESS_AWARE, WRITE_AND_EXECUTE = 0x20, 0xA0000000
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH, TERMINAL_SERVER_AWARE = 0x20, 0x40, 0x100, 0x400, 0x8000
SECURITY, BASE_RELOCATIONS = 4, 5
# DLLs that Windows takes from the system folder whatever lies beside the exe, which it loads
# before the program's first instruction: nothing else is imported.
KNOWN_DLLS = {2: {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "MSVCRT.DLL"}, 3: {"KERNEL32.DLL", "MSVCRT.DLL"}}


def load(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY[f"IMAGE_DIRECTORY_ENTRY_{name}"]
                                           for name in ("IMPORT", "RESOURCE")])
    return pe


def machine(pe):
    return MACHINES.get(pe.FILE_HEADER.Machine, (None,))[0]


def version(pe):
    """The version record's file version and language, or None without one."""
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return None
    high, low = pe.VS_FIXEDFILEINFO[0].FileVersionMS, pe.VS_FIXEDFILEINFO[0].FileVersionLS
    languages = [int(var.entry[b"Translation"].split()[0], 16) for info in pe.FileInfo[0] if info.Key == b"VarFileInfo"
                 for var in info.Var if b"Translation" in var.entry]
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}", languages[0] if languages else None


def imports(pe):
    return [(entry.dll.decode().upper(), function.name.decode()) for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
            for function in entry.imports if function.name]


def guard_reads(path, link_map, objdump):
    """How many places in the code read the stack protector's guard (in 64-bit code, the pointer to
    it the code goes through), at the addresses the link map gives."""
    addresses = re.findall(r"0x0*([0-9a-f]+) +(?:\.refptr\.)?__stack_chk_guard\n", open(link_map).read())
    code = subprocess.run([objdump, "-d", path], capture_output=True, text=True, check=True).stdout
    return sum(len(re.findall(rf"[^0-9a-fx]0x0*{address}[^0-9a-f]", code)) for address in addresses)


def check(arguments):
    pe, name, problems = load(arguments.exe), arguments.exe.rsplit("/", 1)[-1], []
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    report = (lambda text: None) if arguments.quiet else print

    def require(condition, problem):
        if not condition:
            problems.append(problem)

    signature = optional.DATA_DIRECTORY[SECURITY].Size
    size = len(pe.__data__) - signature
    limit = arguments.console_max_bytes if arguments.subsystem == 3 and arguments.console_max_bytes else arguments.max_bytes
    report(f"{name}: {size} bytes ({size // 1024} KiB) and {signature} bytes of signature, limit {limit} bytes")
    require(size <= limit, f"larger than {limit} bytes")
    # A time stamp would make every build differ.
    require(MACHINES.get(header.Machine) == (arguments.machine, optional.Magic),
            f"not a program for {arguments.machine} (machine {header.Machine:#x}, magic {optional.Magic:#x})")
    require(optional.Subsystem == arguments.subsystem, f"not subsystem {arguments.subsystem} but {optional.Subsystem}")
    require(header.Characteristics & LARGE_ADDRESS_AWARE, "not large-address-aware")
    require(header.TimeDateStamp == 0, f"a link time stamp ({header.TimeDateStamp}): every build would differ")
    report(f"  header: machine {header.Machine} ({machine(pe)}), subsystem {optional.Subsystem}, "
           f"time stamp {header.TimeDateStamp}")
    floor = tuple(map(int, arguments.floor.split(".")))
    for field, numbers in (("OSystem", (optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion)),
                           ("Subsystem", (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion))):
        report(f"  {field} version in the header: {numbers[0]}.{numbers[1]}")
        require(numbers == floor, f"the header's {field} version is {numbers[0]}.{numbers[1]}, not {arguments.floor}")

    # The list: "DLL Function First ...", one import a line.
    first = {(row.split()[0].upper(), row.split()[1]): tuple(map(int, row.split()[2].split(".")))
             for row in open(arguments.imports) if row.strip() and not row.startswith("#")}
    known, listed = KNOWN_DLLS[arguments.subsystem], imports(pe)
    for dll in sorted({dll for dll, _ in listed} - known):
        report(f"  {dll}: NOT ONE OF {', '.join(sorted(known))}")
        problems.append(f"{dll} is imported: only {', '.join(sorted(known))} may be")
    for dll, function in listed:
        since = first.get((dll, function))
        windows = ".".join(map(str, since or ()))
        if since is None:
            problems.append(f"{dll} {function} is not in {arguments.imports}")
        elif since > floor:
            problems.append(f"{dll} {function} needs Windows {windows}")
        report(f"  {dll} {function}: " + ("NOT IN THE LIST" if since is None else f"first in {windows}" +
                                          (f", NEWER THAN {arguments.floor}" if since > floor else "")))
    report(f"{len(listed)} imports checked against Windows {arguments.floor}")
    require(listed, "no imports found")

    flags, relocations = optional.DllCharacteristics, optional.DATA_DIRECTORY[BASE_RELOCATIONS].Size
    writable_code = [f"section {i}" for i, section in enumerate(pe.sections)
                     if section.Characteristics & WRITE_AND_EXECUTE == WRITE_AND_EXECUTE]
    reads = guard_reads(arguments.exe, arguments.map, arguments.objdump) if arguments.map else 0
    rows = [("dynamic base, relocations present", f"{relocations} bytes of relocations",
             flags & DYNAMIC_BASE and relocations > 0),
            ("NX compatible (DEP)", "", flags & NX_COMPAT),
            ("NO_SEH (32-bit: no handler table to trust)", "", flags & NO_SEH) if header.Machine == 0x14C else
            ("high-entropy ASLR (64-bit)", "", flags & HIGH_ENTROPY_VA),
            ("TS-aware", "", flags & TERMINAL_SERVER_AWARE),
            ("stack protector", f"{reads} reads of the guard", reads > 0),
            ("no section both writable and executable", f"{len(pe.sections)} sections checked {' '.join(writable_code)}",
             not writable_code),
            ("Authenticode signature", f"{signature} bytes of certificates", signature > 0)]
    report(f"{name} hardening:")
    for what, detail, met in rows[:None if arguments.signed else -1]:
        report(f"  {what:<44}{'yes' if met else 'NO'}  {detail}")
        require(met, f"not hardened: {what}")
    if not arguments.signed:
        report(f"  {'Authenticode signature':<44}-  not signed here (the release signs when given a key)")
    if problems:
        print(f"{name} fails its checks:\n  " + "\n  ".join(problems), file=sys.stderr)
    return not problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    for command in ("machine", "version"):
        commands.add_parser(command).add_argument("exe")
    checking = commands.add_parser("check")
    checking.add_argument("exe")
    for option in ("--machine", "--floor", "--imports", "--objdump"):
        checking.add_argument(option, required=True)
    checking.add_argument("--map")
    checking.add_argument("--max-bytes", type=int, required=True)
    checking.add_argument("--console-max-bytes", type=int)  # the command line's own limit: it does more
    checking.add_argument("--subsystem", type=int, choices=(2, 3), default=2)  # a window, or the console
    checking.add_argument("--signed", action="store_true")
    checking.add_argument("--quiet", action="store_true")
    arguments = parser.parse_args()
    try:
        if arguments.command == "check":
            sys.exit(0 if check(arguments) else 1)
        pe = load(arguments.exe)
    except (OSError, pefile.PEFormatError) as problem:
        sys.exit(f"pe.py: {arguments.exe} is not a Windows program: {problem}")
    found = version(pe) if arguments.command == "version" else None
    answer = machine(pe) if arguments.command == "machine" else found and found[1] and f"{found[0]} {found[1]}"
    if not answer:
        sys.exit(f"pe.py: {arguments.exe} has no {'known machine' if arguments.command == 'machine' else 'version record'}")
    print(answer)


if __name__ == "__main__":
    main()
