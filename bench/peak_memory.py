#!/usr/bin/env python3
"""Runs a command and reports its wall time and memory: the largest sum of
the resident sizes of the command and all its descendants seen at once
(sampled every 10 ms), and the largest peak of any one process (VmHWM,
which the kernel keeps exactly). Used by bench/batch_memory.sh.

    peak_memory.py COMMAND [ARGS...]
prints "SECONDS TOTAL_PEAK_MB LARGEST_PROCESS_MB PROCESSES" on standard
output; the command's own output goes to /dev/null.
"""
import os
import subprocess
import sys
import time


def status_kb(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def descendants(root):
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(name))
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def main():
    start = time.monotonic()
    child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    total_peak, largest, seen = 0, {}, set()
    while child.poll() is None:
        total = 0
        for pid in descendants(child.pid):
            total += status_kb(pid, "VmRSS")
            largest[pid] = max(largest.get(pid, 0), status_kb(pid, "VmHWM"))
            seen.add(pid)
        total_peak = max(total_peak, total)
        time.sleep(0.01)
    seconds = time.monotonic() - start
    print(f"{seconds:.2f} {total_peak / 1024:.1f} {max(largest.values(), default=0) / 1024:.1f} {len(seen)}")
    return child.returncode


if __name__ == "__main__":
    sys.exit(main())
