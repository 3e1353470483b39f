#!/usr/bin/env python3
"""The command line as a script sees it.

    python3 tests/checks/boot_args.py path/to/zel

Runs zel with argument lists (none, --catch and a script, arguments with
blanks, empty ones, one with a double quote) and compares
system/options/boot, system/options/args and system/script/args with what
the argument vector must give: the console takes its switches and the
script's name out of args, and script/args keeps the rest of the command
line, each argument that is empty or holds a blank, tab or double quote in
double quotes.
"""
import os
import subprocess
import sys
import tempfile

zel = sys.argv[1]
probe = "print mold/flat reduce [system/options/boot system/options/args system/script/args]\n"
failures = []
with tempfile.TemporaryDirectory() as tmp:
    script = os.path.join(tmp, "s.zel")
    with open(script, "w") as f:
        f.write("Zel []\n" + probe)

    def run(args, stdin=None):
        out = subprocess.run([zel] + args, input=stdin, capture_output=True, text=True, timeout=60)
        return out.stdout.strip().split("\n")[-1].removeprefix(">> ")

    def molded(s):
        s = s.replace("\t", "^-")
        return "{" + s + "}" if '"' in s else '"' + s + '"'

    def expect(args, boot_args, script_args, stdin=None):
        want = f"[{molded(zel)} [{' '.join(molded(a) for a in boot_args)}] {script_args}]"
        got = run(args, stdin)
        if got != want:
            failures.append(f"{args}: got {got}, want {want}")

    expect([], [], "none", stdin=probe)
    expect([script], [], "none")
    expect(["--catch", script], [], "none", stdin="")
    expect([script, "a b"], ["a b"], '{"a b"}')
    expect([script, "x", "", "y"], ["x", "", "y"], '{x "" y}')
    expect([script, "tab\there"], ["tab\there"], '{"tab^-here"}')
    expect([script, 'x"y', "z"], ['x"y', "z"], '{"x"y" z}')
    # Switches count before the script's name only.
    expect([script, "--", "--catch"], ["--", "--catch"], '"-- --catch"')
    expect(["--", script, "q"], ["q"], '"q"')

for line in failures:
    print(line)
print("boot arguments as expected" if not failures else f"{len(failures)} differences")
sys.exit(1 if failures else 0)
