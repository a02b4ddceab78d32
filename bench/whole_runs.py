#!/usr/bin/env python3
"""Runs a command RUNS times as a whole process and prints one line of medians: wall seconds,
CPU seconds (user + system, from the kernel's accounting of the child, finer than /usr/bin/time
prints) and peak memory (maximum resident set size, KB).
Usage: whole_runs.py RUNS NAME COMMAND... ; the output goes to /dev/null, a failed run fails."""
import os
import resource
import statistics
import subprocess
import sys
import time

runs, name, command = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
walls, cpus, peaks = [], [], []
for _ in range(runs):
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    walls.append(time.perf_counter() - start)
    if status != 0:
        sys.exit(f"{name}: the command failed: {' '.join(command)}")
    cpus.append(usage.ru_utime + usage.ru_stime)
    peaks.append(usage.ru_maxrss)
print(f"{name}: wall {statistics.median(walls):.4f} s, cpu {statistics.median(cpus):.4f} s, "
      f"peak {int(statistics.median(peaks))} KB (medians of {runs}; walls "
      + " ".join(f"{w:.3f}" for w in walls) + ")")
