#!/usr/bin/env python3
"""now against python3's datetime under three time zones.

    python3 tests/checks/now_zones.py path/to/zel

Runs zel under TZ=UTC, TZ=Asia/Kolkata (+05:30) and TZ=America/St_Johns
(-03:30 or -02:30) and compares the zone, the local date and time and the
UTC date and time it gives with datetime's under the same TZ: zel's clock
must lie between datetime's before and after the run, give or take a
second (zel gives whole seconds; a loaded machine can take seconds to start
a sanitized build).
"""
import datetime
import os
import subprocess
import sys
import tempfile
import time

zel = sys.argv[1]
script = """Zel []
n: now u: now/utc
print [n/year n/month n/day to-integer n/time n/zone/hour n/zone/minute]
print [u/year u/month u/day to-integer u/time]
"""
failures = []
second = datetime.timedelta(seconds=1)
with tempfile.NamedTemporaryFile("w", suffix=".zel", delete=False) as f:
    f.write(script)
try:
    for zone in ("UTC", "Asia/Kolkata", "America/St_Johns"):
        env = dict(os.environ, TZ=zone)
        os.environ["TZ"] = zone
        time.tzset()
        before = datetime.datetime.now().astimezone()
        out = subprocess.run([zel, f.name], capture_output=True, text=True, env=env, timeout=60).stdout.split("\n")
        local = datetime.datetime.now().astimezone()
        utc = local.astimezone(datetime.timezone.utc)

        def within(t, end):
            start = before.astimezone(end.tzinfo).replace(tzinfo=None)
            return start - second <= t <= end.replace(tzinfo=None) + second
        y, m, d, secs, zh, zm = (int(x) for x in out[0].split())
        zel_local = datetime.datetime(y, m, d) + datetime.timedelta(seconds=secs)
        offset = local.utcoffset()
        zel_offset = datetime.timedelta(hours=zh, minutes=zm if zh >= 0 and not out[0].split()[4].startswith("-") else -abs(zm))
        if not within(zel_local, local):
            failures.append(f"{zone}: local {zel_local} against {local}")
        if zel_offset != offset:
            failures.append(f"{zone}: zone {zh}:{zm} against {offset}")
        y, m, d, secs = (int(x) for x in out[1].split())
        zel_utc = datetime.datetime(y, m, d) + datetime.timedelta(seconds=secs)
        if not within(zel_utc, utc):
            failures.append(f"{zone}: UTC {zel_utc} against {utc}")
finally:
    os.unlink(f.name)
for line in failures:
    print(line)
print("now agrees with datetime" if not failures else f"{len(failures)} differences")
sys.exit(1 if failures else 0)
