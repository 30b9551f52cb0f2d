#!/usr/bin/python3
# Checks the resources linked into Tavlen.exe: templates, string, icons, manifest and version block, byte for byte.
# Usage: /usr/bin/python3 check-resources.py Tavlen.exe VERSION (the project's, such as 1.0.0.1)
# pefile only finds the resources; the templates and the version block are walked here from their raw
# bytes, so the check does not share the resource compiler's reading of the script.
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 14, 16, 24
TYPE_NAMES = {RT_ICON: "icon", RT_DIALOG: "dialog", RT_STRING: "string block", RT_GROUP_ICON: "icon group",
              RT_VERSION: "version block", RT_MANIFEST: "manifest"}
LANG_JAPANESE = 0x0411

WS_POPUP, WS_CHILD, WS_DISABLED, WS_VISIBLE = 0x80000000, 0x40000000, 0x08000000, 0x10000000
WS_CAPTION, WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0x00C00000, 0x00080000, 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME, WS_EX_APPWINDOW = 0x40, 0x80, 0x00040000
SS_LEFT, SS_ICON, SS_NOPREFIX = 0x0, 0x3, 0x80
BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0x0, 0x1
BUTTON, STATIC = 0x0080, 0x0082  # atoms of the predefined window classes
ID_STATIC, IDOK, IDCANCEL = 0xFFFF, 1, 2
CHILD = WS_CHILD | WS_VISIBLE
FONT = (9, "ＭＳ Ｐゴシック")

# Controls are (class, id, text, (x, y, cx, cy), style); an int text is a resource ordinal.
ABOUT_BOX = dict(
    style=DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, exstyle=0,
    rect=(0, 0, 235, 55), menu=None, cls=None, caption="Tavlenのﾊﾞｰｼﾞｮﾝ情報", font=FONT,
    controls=[
        (STATIC, ID_STATIC, 128, (11, 17, 20, 20), CHILD | SS_ICON),
        (STATIC, ID_STATIC, "Tavlen Version 1.0", (40, 10, 119, 8), CHILD | SS_LEFT | SS_NOPREFIX | WS_GROUP),
        (STATIC, ID_STATIC, "Copyright (C) 2026 Tavlen", (40, 25, 119, 8), CHILD | SS_LEFT | WS_GROUP),
        (BUTTON, IDOK, "OK", (178, 7, 50, 14), CHILD | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP),
    ])
# A run shows no window: the collector must not carry WS_VISIBLE.
COLLECTOR = dict(
    style=DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_DISABLED | WS_CAPTION | WS_SYSMENU,
    exstyle=WS_EX_APPWINDOW, rect=(0, 0, 320, 200), menu=None, cls=None, caption="Tavlen",
    font=FONT + (0, 0, 1),  # then weight, italic, character set
    controls=[
        (BUTTON, IDOK, "OK", (260, 7, 50, 14), CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP),
        (BUTTON, IDCANCEL, "ｷｬﾝｾﾙ", (260, 23, 50, 14), CHILD | BS_PUSHBUTTON | WS_TABSTOP),
    ])
ABOUT_ENTRY = (101, "Tavlen のﾊﾞｰｼﾞｮﾝ情報(&A)...")
ICONS = [(32, 32), (16, 16)]  # each 16 colours: one plane, 4 bits per pixel
VERSION = ()  # the project's, from the command line
VERSION_FIXED = (0x3F, 0, 4, 1, 0)  # flags mask, flags, VOS__WINDOWS32, VFT_APP, subtype
VERSION_STRINGS = [  # in the order the block must hold them
    ("Comments", ""), ("CompanyName", "Tavlen Project"), ("FileDescription", "Tavlen MFC ｱﾌﾟﾘｹｰｼｮﾝ"),
    ("FileVersion", None), ("InternalName", "Tavlen"),
    ("LegalCopyright", "Copyright (C) 2026 Tavlen Project"), ("LegalTrademarks", ""),
    ("OriginalFilename", "Tavlen.EXE"), ("PrivateBuild", ""), ("ProductName", "Tavlen ｱﾌﾟﾘｹｰｼｮﾝ"),
    ("ProductVersion", None), ("SpecialBuild", ""),
]
TRANSLATIONS = [(LANG_JAPANESE, 0x04B0)]
# The manifest: run as the caller, and no legacy program from Vista to 10 and 11, whose GUIDs these are.
ASM_V1, ASM_V3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
EXECUTION_LEVEL = {"level": "asInvoker", "uiAccess": "false"}
SUPPORTED_OS = ["{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]

failures = []


def expect(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, expected {want!r}")


def expect_bits(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got:#010x}, expected {want:#010x}"
                        f" (missing {want & ~got:#x}, extra {got & ~want:#x})")


def label(key):
    kind, name = key
    return f"{TYPE_NAMES.get(kind, f'type {kind}')} {name}"


class Reader:
    """Little-endian cursor over a resource; reading past its end raises ValueError."""

    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, fmt):
        size = struct.calcsize("<" + fmt)
        if self.pos + size > len(self.data):
            raise ValueError(f"truncated at byte {self.pos}")
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += size
        return values if len(values) > 1 else values[0]

    def text(self):  # UTF-16 up to its NUL
        chars = []
        while (char := self.take("H")) != 0:
            chars.append(char)
        return struct.pack(f"<{len(chars)}H", *chars).decode("utf-16-le")

    def name(self):  # name or ordinal: None when absent, an int for an ordinal
        first = self.take("H")
        if first in (0, 0xFFFF):
            return self.take("H") if first else None
        self.pos -= 2
        return self.text()

    def align(self):  # to the next 32-bit boundary
        self.pos += -self.pos % 4


def read_dialog(data):
    r = Reader(data)
    extended = r.take("HH") == (1, 0xFFFF)
    order = -1 if extended else 1  # an extended template has a help id, then exstyle before style
    r.pos = 8 if extended else 0
    style, exstyle = r.take("II")[::order]
    count, *rect = r.take("Hhhhh")
    got = dict(style=style, exstyle=exstyle, rect=tuple(rect), menu=r.name(), cls=r.name(), caption=r.text())
    size = r.take("H")
    if extended:
        weight, italic, charset = r.take("HBB")
        got["font"] = (size, r.text(), weight, italic, charset)
    else:
        got["font"] = (size, r.text())
    got["controls"] = []
    for _ in range(count):
        r.align()
        r.pos += 4 if extended else 0
        c_style, c_exstyle = r.take("II")[::order]
        *c_rect, c_id = r.take("hhhh" + ("I" if extended else "H"))
        cls, text, extra = r.name(), r.name(), r.take("H")
        r.pos += extra
        got["controls"].append(((cls, c_id, text, tuple(c_rect), c_style), c_exstyle, extra))
    return extended, got


def check_dialog(name, data, want_extended, want):
    extended, got = read_dialog(data)
    expect(f"dialog {name} extended template", extended, want_extended)
    expect_bits(f"dialog {name} style", got["style"], want["style"])
    expect_bits(f"dialog {name} exstyle", got["exstyle"], want["exstyle"])
    for field in ("rect", "menu", "cls", "caption", "font"):
        expect(f"dialog {name} {field}", got[field], want[field])
    expect(f"dialog {name} control count", len(got["controls"]), len(want["controls"]))
    for i, ((control, exstyle, extra), wanted) in enumerate(zip(got["controls"], want["controls"])):
        what = f"dialog {name} control {i + 1}"
        for field, g, w in zip(("class", "id", "text", "rectangle"), control, wanted):
            expect(f"{what} {field}", g, w)
        expect_bits(f"{what} style", control[4], wanted[4])
        expect(f"{what} exstyle and creation data", (exstyle, extra), (0, 0))


def check_strings(data):
    r = Reader(data)
    ident, text = ABOUT_ENTRY
    for i in range(16):
        length = r.take("H")
        got = struct.pack(f"<{length}H", *[r.take("H") for _ in range(length)]).decode("utf-16-le")
        expect(f"string {ident - ident % 16 + i}", got, text if i == ident % 16 else "")
    expect("bytes after the string block's 16 strings", data[r.pos:].strip(b"\0"), b"")


def check_icons(data, images):
    """Returns the icon images the group names, which the image must then hold and nothing else."""
    r = Reader(data)
    reserved, kind, count = r.take("HHH")
    expect("icon group 128 reserved and type", (reserved, kind), (0, 1))
    entries = [r.take("BBBBHHIH") for _ in range(count)]
    expect("icon group 128 sizes", [e[:2] for e in entries], ICONS)
    for width, height, colours, _, planes, bits, size, ident in entries:
        what = f"icon {ident} ({width}x{height})"
        expect(f"{what} colours, planes, bits", (colours, planes, bits), (16, 1, 4))
        if ident not in images:
            failures.append(f"{what}: named by icon group 128 but not in the image")
            continue
        expect(f"{what} byte count", len(images[ident]), size)
        header = struct.unpack_from("<IiiHH", images[ident]) if len(images[ident]) >= 16 else None
        expect(f"{what} bitmap header (size, width, height, planes, bits)", header, (40, width, 2 * height, 1, 4))
    return {e[7] for e in entries}


def read_node(r):
    """One node of the version block: (key, type, value, children); a text value keeps its NUL."""
    start = r.pos
    length, value_length, kind = r.take("HHH")
    end = start + length
    key = r.text()
    r.align()
    value = r.data[r.pos:r.pos + value_length * (2 if kind == 1 else 1)]
    r.pos += value_length * (2 if kind == 1 else 1)
    children = []
    while r.pos <= end <= len(r.data):
        r.align()  # the padding after a node's last part may lie outside its length
        if r.pos >= end:
            r.pos = end
            return key, kind, value.decode("utf-16-le") if kind == 1 else value, children
        children.append(read_node(r))
    raise ValueError(f"{key!r} overruns its length")


def check_version(data):
    key, _, fixed, blocks = read_node(Reader(data))
    expect("version block key", key, "VS_VERSION_INFO")
    fields = struct.unpack("<13I", fixed) if len(fixed) == 52 else (None,) * 13
    ms, ls = (VERSION[0] << 16 | VERSION[1]), (VERSION[2] << 16 | VERSION[3])
    expect("version signature", fields[0], 0xFEEF04BD)
    expect("file and product version", fields[2:6], (ms, ls, ms, ls))
    expect("version flags mask, flags, OS, type, subtype", fields[6:11], VERSION_FIXED)
    by_key = {b[0]: b[3] for b in blocks}
    expect("version blocks", sorted(b[0] for b in blocks), ["StringFileInfo", "VarFileInfo"])
    tables = by_key.get("StringFileInfo", [])
    expect("version string tables", [t[0] for t in tables], ["041104b0"])
    strings = tables[0][3] if tables else []
    expect("version string keys", [s[0] for s in strings], [k for k, _ in VERSION_STRINGS])
    for (name, kind, value, _), (_, want) in zip(strings, VERSION_STRINGS):
        # Readers take a value up to its NUL, so even an empty one needs a NUL within its length.
        if kind != 1 or not value.endswith("\0"):
            failures.append(f"version string {name}: not text ending in a NUL within its length")
        expect(f"version string {name}", value[:-1], ", ".join(map(str, VERSION)) if want is None else want)
    variables = by_key.get("VarFileInfo", [])
    expect("version variables (key, type)", [v[:2] for v in variables], [("Translation", 0)])
    pairs = variables[0][2] if variables else b""
    expect("version translations", list(struct.iter_unpack("<HH", pairs)) if len(pairs) % 4 == 0 else pairs,
           TRANSLATIONS)


def check_manifest(data):
    expect("manifest starts as UTF-8 XML without a byte-order mark", data[:5], b"<?xml")
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        raise ValueError(f"not XML: {error}")
    expect("manifest root", (root.tag, root.get("manifestVersion")), (ASM_V1 + "assembly", "1.0"))
    levels = root.findall(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
    expect("manifest execution levels", [dict(level.attrib) for level in levels], [EXECUTION_LEVEL])
    systems = root.findall(f"{COMPAT}compatibility/{COMPAT}application/{COMPAT}supportedOS")
    expect("manifest supported systems", [system.get("Id") for system in systems], SUPPORTED_OS)
    # The window is never shown: no DPI awareness, no common controls, nothing else.
    expect("manifest parts", [child.tag for child in root], [ASM_V3 + "trustInfo", COMPAT + "compatibility"])


def main(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    data = {}
    for kind in root.entries if root else []:
        for name in kind.directory.entries:
            key = tuple(e.id if e.name is None else str(e.name) for e in (kind, name))
            expect(f"languages of {label(key)}", [hex(l.id) for l in name.directory.entries], [hex(LANG_JAPANESE)])
            entry = name.directory.entries[0].data.struct
            data[key] = pe.get_data(entry.OffsetToData, entry.Size)
    checks = {(RT_DIALOG, 100): lambda d: check_dialog(100, d, False, ABOUT_BOX),
              (RT_DIALOG, 102): lambda d: check_dialog(102, d, True, COLLECTOR),
              (RT_STRING, ABOUT_ENTRY[0] // 16 + 1): check_strings, (RT_VERSION, 1): check_version,
              (RT_MANIFEST, 1): check_manifest,
              (RT_GROUP_ICON, 128): lambda d: check_icons(d, {n: i for (t, n), i in data.items() if t == RT_ICON})}
    expected = set(checks)
    for key, check in checks.items():
        if key not in data:
            failures.append(f"{label(key)} is missing")
            continue
        try:
            expected |= {(RT_ICON, n) for n in check(data[key]) or ()}
        except ValueError as error:
            failures.append(f"{label(key)}: {error}")
    for key in sorted(data.keys() - expected, key=str):
        failures.append(f"unexpected {label(key)} ({len(data[key])} bytes)")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: check-resources.py Tavlen.exe VERSION")
    VERSION = tuple(int(part) for part in sys.argv[2].split("."))
    main(sys.argv[1])
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(failures)} resource check(s) failed" if failures else "resources as expected")
    sys.exit(1 if failures else 0)
