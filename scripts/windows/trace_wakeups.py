#!/usr/bin/env python3
"""Sums a wineserver -d1 trace by named thread: server requests and real sleeps.

Usage: trace_wakeups.py TRACE FIRST_LINE LAST_LINE SECONDS [ROLES TARGET]
Counts the requests between the two line numbers; names come from the whole trace.
A sleep is a select the server answered PENDING: the thread waits until it is woken.
With ROLES, the pair roles the EndPoint ran, it also prints the sleeps per pair role of
all named threads and of the roles' own threads beside TARGET.
"""
import collections
import re
import sys

REQUEST = re.compile(r"^([0-9a-f]{4}): (\w+)\((.*)$")
NAME = re.compile(r'^([0-9a-f]{4}): set_thread_info\(.*desc=L"([^"]+)"')


def thread_names(lines):
    names = {}
    for line in lines:
        match = NAME.match(line)
        if match:
            names[match.group(1)] = match.group(2)
    return names


def tally(lines):
    requests = collections.defaultdict(collections.Counter)
    sleeps = collections.Counter()
    wakeups = collections.Counter()
    for line in lines:
        if line[4:15] == ": *wakeup* ":
            wakeups[line[:4]] += 1
            continue
        match = REQUEST.match(line)
        if not match:
            continue
        tid, name, rest = match.groups()
        if rest.startswith(") = "):  # a reply
            if name == "select" and rest.startswith(") = PENDING"):
                sleeps[tid] += 1
            continue
        requests[tid][name] += 1
    return requests, sleeps, wakeups


ROLE_THREADS = ("connection", "forward")


def print_per_role(names, sleeps, seconds, roles, target):
    named = [t for t in names if not names[t].startswith("wine_")]
    mine = sum(sleeps[t] for t in named) / seconds / roles
    own = sum(sleeps[t] for t in named if names[t] in ROLE_THREADS) / seconds / roles
    print(f"  Windows EndPoint (Wine), real sleeps, all its named threads: {mine:.2f} per second "
          f"per pair role ({roles} roles)  target <= {target:.2f}  ratio {mine / target:.3f}")
    print(f"  Windows EndPoint (Wine), real sleeps, the roles' threads only: {own:.2f} per second "
          f"per pair role  target <= {target:.2f}  ratio {own / target:.3f}")


def main():
    if len(sys.argv) not in (5, 7):
        sys.exit(__doc__)
    with open(sys.argv[1], errors="replace") as trace:
        lines = trace.readlines()
    first, last, seconds = int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
    names = thread_names(lines)
    requests, sleeps, wakeups = tally(lines[first:last])
    print(f"over {seconds:.2f} s; per second, by thread (Wine's own unnamed threads left out):")
    print(f"{'thread':<22}{'requests/s':>11}{'sleeps/s':>10}{'woken/s':>9}  requests/s by name")
    for tid in sorted(requests, key=lambda t: -sum(requests[t].values())):
        if tid not in names or names[tid].startswith("wine_"):
            continue
        total = sum(requests[tid].values())
        by_name = ", ".join(f"{n} {c / seconds:.1f}" for n, c in requests[tid].most_common())
        print(f"{names[tid] + ' ' + tid:<22}{total / seconds:>11.1f}{sleeps[tid] / seconds:>10.1f}"
              f"{wakeups[tid] / seconds:>9.1f}  {by_name}")
    if len(sys.argv) == 7:
        print_per_role(names, sleeps, seconds, int(sys.argv[5]), float(sys.argv[6]))


if __name__ == "__main__":
    main()
