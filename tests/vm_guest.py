# Boots Debian's cloud kernel under qemu with tavlen in a busybox initramfs, for the tests on a real kernel.
import glob
import os
import re
import shutil
import subprocess


# How every guest's init begins: the kernel's file systems mounted, its messages quiet, the console as its output,
# and dump NAME FILE to hand a file's bytes back in the console's text.
INIT_START = r"""#!/bin/sh
export PATH=/bin
mount -t devtmpfs dev /dev
exec </dev/console >/dev/console 2>&1
mount -t proc proc /proc
mount -t sysfs sys /sys
dmesg -n 1
dump() { echo "@@begin $1"; xxd -p "$2"; echo "@@end"; }
"""


def newest_kernel():
    def version(path):
        return [int(n) for n in re.findall(r"\d+", os.path.basename(path))]
    kernels = sorted(glob.glob("/boot/vmlinuz-*-cloud-amd64"), key=version)
    return kernels[-1] if kernels else None


def kernel_and_release():
    """The newest cloud kernel and its release; None, saying why, where it or qemu is missing."""
    kernel = newest_kernel()
    if shutil.which("qemu-system-x86_64") is None or kernel is None:
        print("qemu-system-x86_64 or a cloud kernel in /boot is missing: tools/setup.sh installs them")
        return None
    return kernel, os.path.basename(kernel)[len("vmlinuz-"):]


def module_files(release, names):
    """The .ko files that load the named modules, each after those it needs, by the kernel's modules.dep;
    a name built into the kernel has none, and a name it does not know at all gives None."""
    top = f"/lib/modules/{release}"
    deps = {}
    with open(os.path.join(top, "modules.dep")) as f:
        for line in f:
            path, _, needs = line.partition(":")
            deps[path] = needs.split()
    by_name = {re.sub(r"\.ko(\.\w+)?$", "", os.path.basename(p)).replace("-", "_"): p for p in deps}
    with open(os.path.join(top, "modules.builtin")) as f:
        builtin = {re.sub(r"\.ko$", "", os.path.basename(line.strip())).replace("-", "_") for line in f}
    order = []

    def add(path):
        for need in deps[path]:
            add(need)
        if path not in order:
            order.append(path)
    for name in names:
        key = name.replace("-", "_")
        if key in by_name:
            add(by_name[key])
        elif key not in builtin:
            return None
    return [os.path.join(top, p) for p in order]


def make_initramfs(tavlen, folder, init, applets, modules=()):
    """An initramfs of busybox with the applets named, tavlen and its libraries, the modules' files in
    /modules (in load order: insmod /modules/*), and init as /init."""
    root = os.path.join(folder, "root")
    for sub in ["bin", "dev", "proc", "sys", "tmp", "mnt", "modules"]:
        os.makedirs(os.path.join(root, sub))
    os.chmod(os.path.join(root, "tmp"), 0o1777)
    shutil.copy("/bin/busybox", os.path.join(root, "bin/busybox"))
    for applet in ["sh"] + applets:
        os.symlink("busybox", os.path.join(root, "bin", applet))
    shutil.copy(tavlen, os.path.join(root, "bin/tavlen"))
    # The libraries and the loader at the paths the program names, the sanitizers' too in that build.
    ldd = subprocess.run(["ldd", tavlen], capture_output=True, text=True, check=True).stdout
    for lib in re.findall(r"(?:=> |^\s*)(/\S+)", ldd, re.M):
        target = os.path.join(root, lib.lstrip("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(lib, target)
    # Numbered, so that the shell's sorted glob loads each after those it needs.
    for n, path in enumerate(modules):
        shutil.copy(path, os.path.join(root, "modules", f"{n:03}-{os.path.basename(path)}"))
    os.makedirs(os.path.join(root, "etc"))
    with open(os.path.join(root, "etc/passwd"), "w") as f:
        f.write("root:x:0:0::/:/bin/sh\nnobody:x:65534:65534::/tmp:/bin/sh\n")
    with open(os.path.join(root, "etc/group"), "w") as f:
        f.write("root:x:0:\nnogroup:x:65534:\n")
    with open(os.path.join(root, "init"), "w") as f:
        f.write(init)
    os.chmod(os.path.join(root, "init"), 0o755)
    image = os.path.join(folder, "initramfs.cpio")
    names = subprocess.run(["find", "."], cwd=root, capture_output=True, check=True).stdout
    with open(image, "wb") as out:
        subprocess.run(["cpio", "--quiet", "-o", "-H", "newc", "-R", "0:0"], cwd=root, input=names, stdout=out,
                       check=True)
    return image


def boot(kernel, initramfs, args, timeout=80):
    """Runs the guest to its poweroff; gives the files it dumped (`@@begin NAME`, xxd -p, `@@end` on the
    console) by name, and qemu's run."""
    command = ["qemu-system-x86_64", "-accel", "tcg", "-m", "256M", "-nodefaults", "-no-user-config",
               "-display", "none", "-serial", "stdio", "-no-reboot",
               "-kernel", kernel, "-initrd", initramfs,
               "-append", "console=ttyS0 quiet loglevel=1 panic=-1"] + args
    run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    dumps, name, hexdigits = {}, None, []
    for line in run.stdout.decode("latin-1").replace("\r", "").split("\n"):
        if line.startswith("@@begin "):
            name, hexdigits = line[8:], []
        elif line == "@@end" and name:
            try:
                dumps[name] = bytes.fromhex("".join(hexdigits))
            except ValueError:
                print(f"{name}:", *hexdigits, sep="\n  ")  # xxd's message, not a dump
            name = None
        elif name:
            hexdigits.append(line.strip())
    return dumps, run
