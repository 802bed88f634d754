#!/usr/bin/env python3
"""The reading engine under Qt 5 and Qt 6, side by side in one run.

Usage: bench-qt-versions.py QT5_BUILD QT6_BUILD [ROUNDS]

Runs the engine cases of bench/tailpeek_bench of both builds in turn, ROUNDS
times (default 3), on the same input files (the Qt 5 build's bench-data/),
and prints a Markdown table of each case's median CPU time under each Qt and
their ratio. Alternating the two spreads a slow moment of the machine over
both.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile


def run(build, data):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([os.path.join(build, "bench", "tailpeek_bench"),
                        "--benchmark_filter=engine", "--benchmark_out=" + out.name,
                        "--benchmark_out_format=json"],
                       check=True, stdout=subprocess.DEVNULL,
                       env=dict(os.environ, TAILPEEK_BENCH_DATA=data))
        report = json.load(open(out.name))
    return {b["name"].rsplit(" | ", 1)[0]: b["cpu_time"] for b in report["benchmarks"]
            if b.get("run_type", "iteration") == "iteration"}


def main():
    qt5, qt6 = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    data = os.path.join(qt5, "bench-data")
    times = {5: {}, 6: {}}
    for _ in range(rounds):
        for major, build in ((5, qt5), (6, qt6)):
            for case, cpu in run(build, data).items():
                times[major].setdefault(case, []).append(cpu)
    print("| case | file | Qt 5 µs | Qt 6 µs | Qt 6 / Qt 5 |")
    print("|---|---|---:|---:|---:|")
    for case in times[5]:
        five = statistics.median(times[5][case])
        six = statistics.median(times[6][case])
        name, file = case.split(" | ")
        print("| %s | %s | %.1f | %.1f | %.2f |" % (name, file, five, six, six / five))


if __name__ == "__main__":
    main()
