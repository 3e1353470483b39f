#!/usr/bin/env python3
"""The clipboard through xclip on an Xvfb display.

    python3 tests/checks/clipboard_x11.py path/to/zel

Starts Xvfb on a free display number, then: text with CR LF and a lone CR
written by xclip reads back with the CRs dropped; text written by zel is
read by xclip; a text/uri-list written by xclip reads as a block of file!
(percent-decoded); files written by zel reach xclip as absolute file://
URIs with CR LF between them; write-clipboard none empties the selection;
with xclip off the PATH the store inside the process answers instead.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

zel = sys.argv[1]
failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")


display = None
xvfb = None
for n in range(90, 140):
    if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
        continue
    xvfb = subprocess.Popen(["Xvfb", f":{n}", "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(f"/tmp/.X11-unix/X{n}"):
            display = f":{n}"
            break
        if xvfb.poll() is not None:
            break
        time.sleep(0.05)
    if display:
        break
if not display:
    print("Xvfb did not start")
    sys.exit(1)

env = dict(os.environ, DISPLAY=display)
env.pop("WAYLAND_DISPLAY", None)
env.pop("ZEL_GC_STRESS", None)
work = tempfile.mkdtemp()


def xclip(*args, data=None):
    # A writing xclip stays behind to serve the selection: it must hold no
    # pipe of ours.
    if data is not None:
        subprocess.run(["xclip", "-selection", "clipboard", *args], input=data, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, env=env, timeout=10)
        return b""
    return subprocess.run(["xclip", "-selection", "clipboard", *args], capture_output=True, env=env,
                          timeout=10).stdout


def zel_run(body, environment=env):
    script = os.path.join(work, "run.zel")
    with open(script, "w") as f:
        f.write("Zel []\n" + body)
    out = subprocess.run([zel, script], capture_output=True, text=True, env=environment, cwd=work, timeout=60)
    return out.stdout.rstrip("\n").split("\n")


try:
    xclip("-i", data=b"a\r\nb\rc")
    check("text from xclip", zel_run("print mold read-clipboard"), ['"a^/bc"'])

    zel_run('write-clipboard "from zel^/é"')
    check("text to xclip", xclip("-o"), "from zel\né".encode())

    xclip("-t", "text/uri-list", "-i", data=b"file:///tmp/a%20b.txt\r\nfile:///etc/hosts\r\n")
    check("files from xclip", zel_run("print mold read-clipboard"), ['[%"/tmp/a b.txt" %/etc/hosts]'])

    zel_run('write-clipboard [%"x y.txt" %/abs/z]')
    check("files to xclip", xclip("-t", "text/uri-list", "-o"),
          f"file://{work}/x%20y.txt\r\nfile:///abs/z".encode())

    # An image: PNG on the selection, read back equal with its alpha.
    check("image to xclip", zel_run("print write-clipboard make image! [3x2 10.20.30.128]"), ["true"])
    check("image type", xclip("-t", "TARGETS", "-o").split(b"\n")[:2], [b"TARGETS", b"image/png"])
    check("PNG bytes", xclip("-t", "image/png", "-o")[:8], b"\x89PNG\r\n\x1a\n")
    check("image back", zel_run("i: read-clipboard print [type? i i/size i/1]"), ["image 3x2 10.20.30.128"])

    check("none", zel_run("print write-clipboard none"), ["true"])
    check("emptied", xclip("-o"), b"")
    check("empty reads none", zel_run("print mold read-clipboard"), ["none"])

    # Without xclip on the PATH the store answers, even with a display.
    bare = os.path.join(work, "bin")
    os.mkdir(bare)
    no_xclip = dict(env, PATH=bare)
    check("store without xclip",
          zel_run('print write-clipboard "in store" print mold read-clipboard', no_xclip), ["true", '"in store"'])
    check("xclip untouched", xclip("-o"), b"")

    # A tool that hangs answers false, and no child is left; one that fails
    # writes nothing (false) and, reading, is what xclip does on an empty
    # selection (none).
    # The hanging tool's sleep carries this run's pid: runs at once never
    # see each other's.
    marker = f"sleep 30.{os.getpid()}"
    for name, body, want in (("hangs", f"exec {marker}", ["false", "false"]), ("fails", "exit 3", ["false", "none"])):
        fake = os.path.join(work, name)
        os.mkdir(fake)
        with open(os.path.join(fake, "xclip"), "w") as f:
            f.write(f"#!/bin/sh\n{body}\n")
        os.chmod(os.path.join(fake, "xclip"), 0o755)
        started = time.monotonic()
        got = zel_run('print write-clipboard "x" print read-clipboard', dict(env, PATH=fake + ":/usr/bin:/bin"))
        check(f"a tool that {name}", got, want)
        if time.monotonic() - started > 20:
            failures.append(f"a tool that {name}: took {time.monotonic() - started:.1f} s")
    leftover = subprocess.run(["pgrep", "-f", marker], capture_output=True, text=True).stdout.split()
    check("no sleeping tool left", leftover, [])
finally:
    xvfb.terminate()
    xvfb.wait()
    shutil.rmtree(work, ignore_errors=True)

for line in failures:
    print(line)
print("clipboard through xclip as expected" if not failures else f"{len(failures)} differences")
sys.exit(1 if failures else 0)
