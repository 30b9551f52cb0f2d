#!/usr/bin/python3
# Boots Debian's cloud kernel under qemu with SMBIOS strings of our choosing and checks tavlen's report there.
# Usage: /usr/bin/python3 vm-dmi.py TAVLEN
# The provider's other tests read fixture files; only a real kernel shows what sysfs makes of firmware
# strings (blank ones, long ones) and that it keeps product_serial from other users.
import os
import re
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import vm_guest  # noqa: E402

SKIP = 77
SYSFS = ["product_name", "product_version", "product_serial", "bios_version"]
KEYS = ["model", "number", "serial", "bios"]

# Each boot gives type 1 product, version and serial, and type 0 version, in the order of SYSFS.
BOOTS = [
    ["Model 7420", "Rev A01", "4XK9Q93", "\x1b1.21.0\x07"],
    ["  Blåbær, Tōkyō 東京 𝄞  ", "", "   ",
     "1.0\x07beta\u2028r2\u0085\x7fend\tx" + "0123456789" * 500],
]

INIT = vm_guest.INIT_START + r"""tavlen -f /root.txt
dump report.root /root.txt
su nobody -c 'tavlen -f /tmp/user.txt'
dump report.user /tmp/user.txt
for name in product_name product_version product_serial bios_version; do
    dump "raw.$name" "/sys/class/dmi/id/$name"
done
poweroff -f
"""


def boot(kernel, initramfs, strings):
    def opt(value):
        return value.replace(",", ",,")  # qemu's own escape of a comma in an option's value
    product, version, serial, bios = map(opt, strings)
    return vm_guest.boot(kernel, initramfs, ["-smbios", f"type=0,version={bios}",
                                             "-smbios", f"type=1,product={product},version={version},serial={serial}"])


def shown(data):
    return data.hex(" ") if len(data) <= 40 else f"{data[:40].hex(' ')} ... {data[-4:].hex(' ')} ({len(data)} bytes)"


def kernel_keeps(given):
    """What sysfs shows for a string given to the firmware: a string of blanks is none, and a long one is cut
    to what fits one page with its line end."""
    data = given.encode()
    return (b"" if data.strip(b" ") == b"" else data[:4094]) + b"\n"


def report_value(raw):
    """The report's value for the bytes of a sysfs file, by the README's rules."""
    text = raw[:64 * 1024]
    if text.endswith(b"\n"):
        text = text[:-1]
    blanked = "".join(" " if (ord(c) < 0x20 and c != "\t") or 0x7F <= ord(c) <= 0x9F or c in "\u2028\u2029"
                      else c for c in text.decode())
    return blanked.strip(" \t").encode()


def main():
    tavlen = os.path.abspath(sys.argv[1])
    found = vm_guest.kernel_and_release()
    if found is None:
        return SKIP
    kernel, release = found
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        initramfs = vm_guest.make_initramfs(tavlen, folder, INIT, ["mount", "dmesg", "xxd", "su", "poweroff"])
        for strings in BOOTS:
            dumps, run = boot(kernel, initramfs, strings)
            for field, given in zip(SYSFS, strings):
                print(f"{field}: given {shown(given.encode())}")
                print(f"{' ' * len(field)}  sysfs {shown(dumps.get('raw.' + field, b''))}")
            reports = {who: dumps.get("report." + who, b"").split(b"\n") for who in ["root", "user"]}
            for who, lines in reports.items():
                print(f"report as {who}:", *[repr(line[:100]) for line in lines], sep="\n  ")
            if len(dumps) != 2 + len(SYSFS):
                print("the guest did not give every dump:", run.stdout.decode("latin-1")[-3000:],
                      run.stderr.decode("latin-1")[-3000:])
                failures += 1
                continue
            expected = []
            for field, given in zip(SYSFS, strings):
                raw = dumps["raw." + field]
                if raw != kernel_keeps(given):
                    print(f"FAIL: sysfs {field} holds {shown(raw)}, not {shown(kernel_keeps(given))}")
                    failures += 1
                expected.append(report_value(raw))
            root = [f"{key}=".encode() + value for key, value in zip(KEYS, expected)]
            root.append(f"os=Linux   {release}".encode())
            user = [b"serial=" if line.startswith(b"serial=") else line for line in root]
            for who, want in [("root", root), ("user", user)]:
                got = reports[who]
                if len(got) != 7 or got[6] != b"" or not re.fullmatch(rb"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d", got[0]):
                    print(f"FAIL: the report as {who} is not a timestamp and five lines")
                    failures += 1
                    continue
                for line, wanted in zip(got[1:6], want):
                    if line != wanted:
                        at = next((i for i, pair in enumerate(zip(line, wanted)) if pair[0] != pair[1]),
                                  min(len(line), len(wanted)))
                        print(f"FAIL: as {who}, {len(line)} bytes, from byte {at}: {line[max(at - 10, 0):at + 30]!r}\n"
                              f"      wanted {len(wanted)} bytes, from byte {at}: {wanted[max(at - 10, 0):at + 30]!r}")
                        failures += 1
    print("passed" if failures == 0 else f"{failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
