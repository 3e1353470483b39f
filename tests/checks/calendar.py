#!/usr/bin/env python3
"""The calendar of date! against Python's datetime.date.

Usage: calendar.py ZEL

zel writes, for each date it is given, its year, month and day, its day
count from 1-Jan-0001 (date - date), weekday, day of the year and ISO week;
this script compares them with toordinal(), weekday(), the day of the year
and isocalendar() of datetime.date:
  - every day from 1-Jan-1600 to 31-Dec-2400, zel stepping one day at a
    time from the first: each step must land on datetime's next day;
  - a sample of days from year 1 to 9999, drawn here with a fixed seed and
    given to zel as date literals;
  - from year -400 to year 0, which datetime.date cannot hold: each day's
    count is one more than the day before's, its weekday the next, and
    29 February exists in the leap years only.
"""
import datetime
import os
import random
import subprocess
import sys
import tempfile

FIRST_YEAR, LAST_YEAR = 1600, 2400
SAMPLE_SIZE = 20000

MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()

# Each section prints its name, then one line of seven numbers a date. The
# numbers go into one block, which grows without a new series per date:
# the script stays quick under the collector's stress runs.
PROGRAM = """Zel []
base: 1-Jan-0001
out: make block! 3500000
emit: func [d] [
    append out d/year append out d/month append out d/day append out d - base
    append out d/weekday append out d/yearday append out d/isoweek
]
section: func [name] [print name print out clear out]
d: %(first)s
loop %(span)d [emit d d: d + 1]
section "every-day"
foreach d [%(sample)s] [emit d]
section "sample"
d: make date! [1 1 -400]
while [d/year <= 0] [emit d d: d + 1]
section "before-year-1"
print "end"
"""


def fail(message):
    print("calendar check: " + message)
    sys.exit(1)


def sections(text):
    """The dates zel wrote, by the section names it printed."""
    found = {}
    lines = text.splitlines()
    if not lines or lines[-1] != "end":
        fail("zel did not finish:\n" + text[-2000:])
    for name, numbers in zip(lines[:-1:2], lines[1:-1:2]):
        values = [int(n) for n in numbers.split()]
        found[name] = [tuple(values[i:i + 7]) for i in range(0, len(values), 7)]
    return found


def check_against_python(rows, offset, what):
    for year, month, day, days, weekday, yearday, isoweek in rows:
        d = datetime.date(year, month, day)
        expected = (d.toordinal() - 1, d.weekday() + 1, d.timetuple().tm_yday, d.isocalendar()[1])
        got = (days + offset, weekday, yearday, isoweek)
        if got != expected:
            fail("%s: %d-%d-%d gives day %d, weekday %d, year day %d, ISO week %d; "
                 "expected day %d, weekday %d, year day %d, ISO week %d"
                 % ((what, year, month, day) + got + expected))


def leap(year):
    return year % 4 == 0 and (year % 100 != 0 or year % 400 == 0)


def main():
    if len(sys.argv) != 2:
        fail("usage: check_calendar.py ZEL")
    rng = random.Random(24)
    first, last = datetime.date(1, 1, 1).toordinal(), datetime.date(9999, 12, 31).toordinal()
    sample = [datetime.date.fromordinal(rng.randint(first, last)) for _ in range(SAMPLE_SIZE)]
    start = datetime.date(FIRST_YEAR, 1, 1)
    span = (datetime.date(LAST_YEAR, 12, 31) - start).days + 1
    program = PROGRAM % {
        "first": "1-Jan-%d" % FIRST_YEAR,
        "span": span,
        "sample": " ".join("%d-%s-%04d" % (d.day, MONTHS[d.month - 1], d.year) for d in sample),
    }
    with tempfile.NamedTemporaryFile("w", suffix=".zel") as script:
        script.write(program)
        script.flush()
        # The collector's stress runs would take hours over half a million
        # dates; the date code runs under them in the case files.
        env = {k: v for k, v in os.environ.items() if k not in ("ZEL_GC_STRESS", "ZEL_STAMP_CHECK")}
        run = subprocess.run([sys.argv[1], script.name], capture_output=True, text=True, env=env)
    if run.returncode != 0:
        fail("zel exited with %d:\n%s%s" % (run.returncode, run.stdout[-2000:], run.stderr[-2000:]))
    found = sections(run.stdout)

    # Every day of the range, in order, and nothing else.
    every_day = found.get("every-day", [])
    if len(every_day) != span:
        fail("%d days from %d to %d; expected %d" % (len(every_day), FIRST_YEAR, LAST_YEAR, span))
    for i, row in enumerate(every_day):
        d = start + datetime.timedelta(days=i)
        if row[:3] != (d.year, d.month, d.day):
            fail("day %d of the range is %d-%d-%d; expected %s" % ((i,) + row[:3] + (d,)))
    check_against_python(every_day, 0, "every day")

    sampled = found.get("sample", [])
    if [row[:3] for row in sampled] != [(d.year, d.month, d.day) for d in sample]:
        fail("the sample came back changed")
    check_against_python(sampled, 0, "sample")

    # Before year 1: consecutive day numbers, 29 February only in leap years.
    early = found.get("before-year-1", [])
    feb29 = {row[0] for row in early if row[1:3] == (2, 29)}
    years = {row[0] for row in early}
    if years != set(range(-400, 1)):
        fail("years -400 to 0 are not all there")
    wrong = sorted(y for y in years if (y in feb29) != leap(y))
    if wrong:
        fail("29 February wrong in years %s" % wrong[:10])
    for before, after in zip(early, early[1:]):
        if after[3] != before[3] + 1:
            fail("%d-%d-%d is day %d after %d-%d-%d, day %d" % (after[:4] + before[:4]))
        if after[4] != before[4] % 7 + 1:
            fail("weekday of %d-%d-%d does not follow the day before" % after[:3])
    if early[-1][:4] != (0, 12, 31, -1):
        fail("31-Dec-0000 is not the day before 1-Jan-0001: %s" % (early[-1],))
    print("calendar check: %d + %d days against datetime, %d days before year 1"
          % (len(every_day), len(sampled), len(early)))


main()
