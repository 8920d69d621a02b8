#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-3-Clause
"""Reads Google Benchmark JSON files and prints, for every case "X/opencv",
OpenCV's time, ours (case "X", and every variant "X/<how>" of it) and the
speed-up (OpenCV time / our time). With repetitions, medians are compared."""
import json
import sys


def main(paths):
    times, medians = {}, {}
    for path in paths:
        with open(path) as f:
            for b in json.load(f).get("benchmarks", []):
                kind = b.get("run_type", "iteration")
                if kind == "iteration" or b.get("aggregate_name") == "median":
                    name = b.get("run_name", b["name"])
                    if name.endswith("/real_time"):
                        name = name[: -len("/real_time")]
                    (times if kind == "iteration" else medians)[name] = b["real_time"]
    times.update(medians)  # with repetitions, the median of each case
    rows = []
    for name, t_cv in sorted(times.items()):
        if name.endswith("/opencv"):
            base = name[: -len("/opencv")]
            for ours in sorted(times):
                if ours == base or (ours.startswith(base + "/") and ours != name):
                    rows.append((ours, t_cv, times[ours], t_cv / times[ours]))
    if not rows:
        print("no OpenCV pairs found")
        return 0
    width = max(len(r[0]) for r in rows)
    print(f"{'case':<{width}}  {'opencv':>9}  {'zuvcv':>9}  speed-up")
    for ours, t_cv, t_us, ratio in rows:
        print(f"{ours:<{width}}  {t_cv:9.4f}  {t_us:9.4f}  {ratio:7.2f}x")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
