#!/usr/bin/env python3
"""Runs the view benchmarks and prints the README's tables: follow ticks and
rebuilds beside the plain widget, each case side by side in the same run, and
the worst stall of a followed window over RUNS runs. Ticks and rebuilds are
the medians of RUNS repetitions: this machine is shared, and one slow moment
would otherwise weigh on a whole case.

Usage: tools/bench-view-tables.py [BUILD_DIR] [RUNS]
"""
import json
import os
import statistics
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build")
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
bench = os.path.join(build, "bench", "tailpeek_bench_view")


def run(pattern, repetitions=1):
    """The cases matching pattern; with repetitions, the median of each."""
    args = [bench, "--benchmark_filter=" + pattern, "--benchmark_format=json"]
    if repetitions > 1:
        args += [f"--benchmark_repetitions={repetitions}", "--benchmark_report_aggregates_only=true"]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        if repetitions > 1 and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"]).split("/iterations")[0]
        results[name] = b
    return results


def ms(b):
    return b["real_time"] if b["time_unit"] == "ms" else b["real_time"] / 1000.0


r = run("BM_FollowTick|BM_PlainKLines|BM_Rebuild|BM_PlainWhole", runs)
print("| N | line bytes | k | tick ms | plain k lines ms | ratio | refresh before ms | tick / refresh before |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|")
for n in (20, 200, 999):
    for size in (120, 1000):
        for k in (1, 10, 20, 100):
            tick = r.get(f"BM_FollowTick/{k}/{n}/{size}")
            if tick is None or k >= n:
                continue
            plain = ms(r[f"BM_PlainKLines/{k}/0/{size}"])
            before = ms(r[f"BM_Rebuild/{n}/{size}/0"])
            t = ms(tick)
            print(f"| {n} | {size} | {k} | {t:.3g} | {plain:.3g} | {t / plain:.2f} | {before:.3g} | {t / before:.3f} |")

print()
print("| N | line bytes | rebuild ms | rebuild before ms | new / before | plain whole ms |")
print("|---:|---:|---:|---:|---:|---:|")
for n in (20, 200, 999):
    for size in (120, 1000):
        new = ms(r[f"BM_Rebuild/{n}/{size}/1"])
        old = ms(r[f"BM_Rebuild/{n}/{size}/0"])
        plain = ms(r[f"BM_PlainWhole/{n}/{size}"])
        print(f"| {n} | {size} | {new:.3g} | {old:.3g} | {new / old:.2f} | {plain:.3g} |")

print()
stalls = {120: [], 300: []}
plains = {120: [], 300: []}
idle = []
for _ in range(runs):
    s = run("BM_FollowStall|BM_PlainWhole/999/(120|300)/")
    for size in (120, 300):
        stalls[size].append(s[f"BM_FollowStall/{size}/1"]["worst_after_1s_ms"])
        plains[size].append(ms(s[f"BM_PlainWhole/999/{size}"]))
    idle.append(s["BM_FollowStall/120/0"]["worst_after_1s_ms"])
print(f"| line bytes | worst stall ms after the first second ({runs} runs) | plain widget sets the whole window, same runs, ms | stall / plain, per run | median |")
print("|---:|---:|---:|---:|---:|")
for size in (120, 300):
    st = ", ".join(f"{v:.2f}" for v in stalls[size])
    pl = ", ".join(f"{v:.2f}" for v in plains[size])
    ratios = [a / b for a, b in zip(stalls[size], plains[size])]
    rs = ", ".join(f"{v:.2f}" for v in ratios)
    print(f"| {size} | {st} | {pl} | {rs} | {statistics.median(ratios):.2f} |")
print()
print("The same window idle beside the writer (timer off), worst stall ms: "
      + ", ".join(f"{v:.2f}" for v in idle))
