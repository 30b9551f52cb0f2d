#!/usr/bin/python3
# Checks that a report another program holds open on an SMB share, mounted by a real Linux kernel, is never lost.
# Usage: /usr/bin/python3 vm-cifs.py TAVLEN
# This host's Samba serves a folder; Debian's cloud kernel under qemu mounts it with its CIFS client, which turns a
# rename over a file held open into that file's deletion: a report replaced by rename is gone once the holder closes.
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import vm_guest  # noqa: E402

SKIP = 77
OLD = b"2000/01/01 00:00:00\nmodel=old\nnumber=old\nserial=old\nbios=old\nos=old\n"
MODULES = ["virtio_pci", "virtio_net",
           # cifs's soft dependencies: it asks the crypto API for them as it negotiates SMB 3.1.1, and with no
           # modprobe in the guest none would load on demand.
           "cmac", "sha512_generic", "ecb", "ctr", "ghash_generic", "gcm", "ccm", "nls_utf8", "cifs"]

# The holder is another process, as a reader of the report would be, and holds it until tavlen has ended.
INIT = vm_guest.INIT_START + r"""for m in /modules/*; do insmod "$m" || echo "insmod $m failed"; done
ip link set eth0 up && ip addr add 10.0.2.15/24 dev eth0
if mount -t cifs //10.0.2.2/share /mnt -o vers=3.1.1,port=@PORT@,username=guest,password=,noperm; then
    sleep 600 3</mnt/report.txt &
    holder=$!
    while [ ! -e /proc/$holder/fd/3 ]; do sleep 1; done
    tavlen -f /mnt/report.txt
    echo "tavlen ended with $?"
    kill $holder
    wait $holder
    ls -a /mnt >/tmp/names
    dump names /tmp/names
    dump report /mnt/report.txt
    umount /mnt
else
    dmesg | tail -n 20
fi
poweroff -f
"""

SMB_CONF = """[global]
server role = standalone server
interfaces = 127.0.0.1
bind interfaces only = yes
smb ports = {port}
disable netbios = yes
server min protocol = SMB3_11
map to guest = Bad User
load printers = no
printcap name = /dev/null
state directory = {state}
cache directory = {state}
lock directory = {state}
pid directory = {state}
private dir = {state}
ncalrpc dir = {state}/ncalrpc
binddns dir = {state}/bind-dns
log file = {state}/log
[share]
path = {share}
read only = no
guest ok = yes
force user = root
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def stop(smbd):
    """Ends smbd and the servers it started for each connection."""
    try:
        os.killpg(smbd.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    smbd.wait()


def start_smbd(smbd_path, folder, share):
    port = free_port()
    state = os.path.join(folder, "samba")
    os.makedirs(state)
    conf = os.path.join(folder, "smb.conf")
    with open(conf, "w") as f:
        f.write(SMB_CONF.format(port=port, state=state, share=share))
    # In a session of its own: smbd ends by signalling its whole process group, which would otherwise be ours.
    smbd = subprocess.Popen([smbd_path, "--foreground", "--no-process-group", "-s", conf], start_new_session=True,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return smbd, port
        except OSError:
            if smbd.poll() is not None:
                break
            time.sleep(0.1)
    stop(smbd)
    with open(os.path.join(state, "log"), errors="replace") as f:
        print("smbd did not listen:", f.read()[-2000:])
    return None, port


def main():
    smbd_path = shutil.which("smbd") or shutil.which("smbd", path="/usr/sbin:/sbin")
    if smbd_path is None or os.geteuid() != 0:
        print("Samba's smbd is missing or this is not root: tools/setup.sh installs it, and it serves as root")
        return SKIP
    found = vm_guest.kernel_and_release()
    if found is None:
        return SKIP
    kernel, release = found
    tavlen = os.path.abspath(sys.argv[1])
    modules = vm_guest.module_files(release, MODULES)
    if modules is None:
        print(f"the modules of {release} lack one of {' '.join(MODULES)}")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        share = os.path.join(folder, "share")
        os.makedirs(share)
        with open(os.path.join(share, "report.txt"), "wb") as f:
            f.write(OLD)
        smbd, port = start_smbd(smbd_path, folder, share)
        if smbd is None:
            return 1
        try:
            initramfs = vm_guest.make_initramfs(
                tavlen, os.path.join(folder, "guest"), INIT.replace("@PORT@", str(port)),
                ["mount", "umount", "dmesg", "xxd", "insmod", "ip", "sleep", "kill", "ls", "tail", "poweroff"],
                modules)
            started = time.monotonic()
            dumps, run = vm_guest.boot(kernel, initramfs, ["-nic", "user,model=virtio-net-pci"], timeout=100)
            print(f"the guest ran {time.monotonic() - started:.0f} s")
        finally:
            stop(smbd)
        console = run.stdout.decode("latin-1").replace("\r", "")
        print(re.sub(r"@@begin .*?@@end\n?", "", console, flags=re.S).strip())
        names = dumps.get("names", b"").split()
        report = dumps.get("report")
        print("the share holds:", *[n.decode() for n in names if n not in (b".", b"..")])
        print("report.txt:", "missing" if report is None else repr(report))
        print("on the host:", sorted(os.listdir(share)))
        if "names" not in dumps:
            failures.append("the guest did not mount the share or list it " + run.stderr.decode("latin-1")[-2000:])
        elif report is None:
            failures.append("the report is gone once its holder closed it")
        else:
            lines = report.split(b"\n")
            if (len(lines) != 7 or lines[6] != b"" or not lines[5].startswith(b"os=Linux") or
                    not re.fullmatch(rb"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d", lines[0])):
                failures.append("the report is not a new six-line report")
        left = [n.decode() for n in names if n not in (b".", b"..", b"report.txt")]
        if left:
            failures.append("left on the share: " + " ".join(left))
    for failure in failures:
        print("FAIL:", failure)
    print("passed" if not failures else f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
