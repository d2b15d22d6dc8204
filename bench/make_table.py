#!/usr/bin/env python3
"""Turns the figures that scripts/bench gathered into its one table.

Arguments: results file (key=value lines of vellumite_fill_bench, with round= and
cached_bytes= added), the generator's Google Benchmark CSV, files, size in MiB,
rounds, directory, its file system and device.
"""
import csv
import os
import platform
import statistics
import sys

MIB = 1048576.0
GIB = 1073741824.0
PATTERNS = [("zero", "ALL ZERO"), ("one", "ALL ONE"), ("random", "RANDOM")]


def read_runs(path):
    runs, stops = [], []
    with open(path) as results:
        for line in results:
            words = line.split()
            if not words:
                continue
            target = runs
            if words[0] == "stop":
                target, words = stops, words[1:]
            target.append(dict(word.split("=", 1) for word in words))
    return runs, stops


def read_generator(path):
    """bytes per second of each benchmark's median, by name."""
    figures = {}
    with open(path) as text:
        lines = [line for line in text if line.strip()]
    start = next((i for i, line in enumerate(lines) if line.startswith("name,")), None)
    if start is None:
        return figures
    for row in csv.DictReader(lines[start:]):
        name = row["name"]
        if name.endswith("_median") and row.get("bytes_per_second"):
            figures[name[: -len("_median")]] = float(row["bytes_per_second"])
    return figures


def machine():
    model = "unknown processor"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    memory = 0
    with open("/proc/meminfo") as info:
        for line in info:
            if line.startswith("MemTotal:"):
                memory = int(line.split()[1]) / 1024 / 1024
    return f"{model}, {os.cpu_count()} cores, {memory:.1f} GiB RAM, Linux {platform.release()}"


def main():
    results, generator_csv, files, size, rounds, directory, filesystem, device = sys.argv[1:9]
    runs, stops = read_runs(results)
    generator = read_generator(generator_csv)

    def of(writer, pattern):
        return {int(run["round"]): run for run in runs
                if run["writer"] == writer and run["pattern"] == pattern}

    def med(values):
        return statistics.median(values) if values else float("nan")

    print(f"Vellumite fill engine against dd: {files} files x {size} MiB per run, "
          f"median of {rounds} rounds")
    print(f"machine: {machine()}")
    print(f"volume:  {directory} ({filesystem} on {device})")
    print("reference: dd if=/dev/zero bs=1M count=%s conv=fdatasync, one per file" % size)
    print()
    print(f"{'':<9} {'MiB/s':^24} {'CPU s/GiB':^15} {'dirty+writeback MiB':^21} "
          f"{'cached after MiB':^21}")
    header = (f"{'pattern':<9} {'ours':>7} {'dd':>7} {'ours/dd':>8} {'ours':>7} {'dd':>7} "
              f"{'ours (max)':>14} {'dd':>6} {'ours (max)':>14} {'dd':>6}")
    print(header)
    print("-" * len(header))
    ratios, worst_peak, worst_cached, worst_files = {}, 0.0, 0.0, 0.0
    files_peaks = {"ours": [], "dd": []}
    for pattern, label in PATTERNS:
        ours, dd = of("ours", pattern), of("dd", pattern)
        same_rounds = sorted(set(ours) & set(dd))
        ratio = med([float(ours[r]["mibps"]) / float(dd[r]["mibps"]) for r in same_rounds])
        ratios[pattern] = ratio
        peaks = [float(run["peak_over_baseline_mib"]) for run in ours.values()]
        cached = [int(run["cached_bytes"]) / MIB for run in ours.values()]
        worst_peak = max([worst_peak] + peaks)
        worst_cached = max([worst_cached] + cached)
        for writer, writer_runs in (("ours", ours), ("dd", dd)):
            files_peaks[writer] += [float(r["files_peak_mib"]) for r in writer_runs.values()]
        worst_files = max([worst_files] + files_peaks["ours"])
        peak_text = f"{med(peaks):.1f} ({max(peaks, default=0):.1f})"
        cached_text = f"{med(cached):.1f} ({max(cached, default=0):.1f})"
        print(f"{label:<9} {med([float(r['mibps']) for r in ours.values()]):>7.0f} "
              f"{med([float(r['mibps']) for r in dd.values()]):>7.0f} {ratio:>8.2f} "
              f"{med([float(r['cpu_per_gib']) for r in ours.values()]):>7.3f} "
              f"{med([float(r['cpu_per_gib']) for r in dd.values()]):>7.3f} "
              f"{peak_text:>14} "
              f"{med([float(r['peak_over_baseline_mib']) for r in dd.values()]):>6.0f} "
              f"{cached_text:>14} "
              f"{med([int(r['cached_bytes']) / MIB for r in dd.values()]):>6.0f}")
    print("MiB/s and CPU: medians; ours/dd: median of the ratios of the same round. "
          "dirty+writeback: peak of\nDirty + Writeback in /proc/meminfo during a run, above "
          "the idle baseline; cached after: fincore of\nthe run's files when it has ended.")

    print(f"fill data in the page cache during a run (mincore of the run's files every 10 ms), "
          f"peak: ours {worst_files:.1f} MiB, dd {max(files_peaks['dd'], default=0):.0f} MiB")

    zero, random = of("ours", "zero"), of("ours", "random")
    random_vs_zero = med([float(random[r]["mibps"]) / float(zero[r]["mibps"])
                          for r in sorted(set(zero) & set(random))])
    print()
    print(f"RANDOM / ALL ZERO, ours, same round: {random_vs_zero:.2f}")

    filler = generator.get("BM_FillRandomBytes", float("nan"))
    memset = generator.get("BM_Memset", float("nan"))
    urandom = generator.get("BM_DevUrandom", float("nan"))
    codes = ", ".join(f"{name} {generator[key] / GIB:.1f}" for name, key in
                      [("portable", "BM_RandomBytesCode/0"), ("avx2", "BM_RandomBytesCode/1")]
                      if key in generator)
    print(f"generator, 1 MiB block, one core: {filler / GIB:.1f} GiB/s (codes: {codes}); "
          f"memset {memset / GIB:.1f} GiB/s; /dev/urandom {urandom / GIB:.2f} GiB/s")
    if stops:
        stop = stops[-1]
        print(f"stop in the middle of a file: the run ended {float(stop['stop_seconds']) * 1000:.0f} ms "
              f"after the request")
    print()

    def target(name, value, goal_text, met, unit=""):
        print(f"target {name}: {value}{unit} (goal {goal_text}) {'met' if met else 'missed'}")

    target("ALL ZERO vs dd", f"{ratios['zero']:.2f}", ">= 0.95", ratios["zero"] >= 0.95)
    target("ALL ONE vs dd", f"{ratios['one']:.2f}", ">= 0.95", ratios["one"] >= 0.95)
    target("RANDOM vs ALL ZERO", f"{random_vs_zero:.2f}", ">= 0.90", random_vs_zero >= 0.90)
    target("generator vs memset", f"{filler / memset:.2f}", ">= 0.10", filler / memset >= 0.10)
    target("generator vs /dev/urandom", f"{filler / urandom:.1f}", ">= 10", filler / urandom >= 10)
    target("dirty data waiting, peak", f"{worst_peak:.1f}", "<= 64 MiB", worst_peak <= 64, " MiB")
    target("fill data in memory during a run, peak", f"{worst_files:.1f}", "<= 64 MiB",
           worst_files <= 64, " MiB")
    target("fill files cached after a run", f"{worst_cached:.1f}", "<= 64 MiB", worst_cached <= 64,
           " MiB")


if __name__ == "__main__":
    main()
