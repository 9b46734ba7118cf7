#!/usr/bin/env python3
"""Writes bench/RESULTS.md from what bench/run.sh measured.

Usage: report.py WORK_FOLDER RESULTS_MD

WORK_FOLDER holds results.tsv (name, size in bytes, peak memory in KiB, one file a line) and one
hyperfine JSON export per file. Every ratio compares commands measured in the same run. A
"baseline" command, an earlier build of the program, is there when run.sh was given --baseline.
"""
import datetime
import json
import os
import platform
import subprocess
import sys

SECTIONS = {"tiny-sections-100k": 100_000, "tiny-sections-1M": 1_000_000,
            "one-section-100k": 1, "one-section-1M": 1, "bare-headers-1M": 1_000_000}
SCALING = [("realistic-1MB", "realistic-10MB"), ("realistic-10MB", "realistic-80MB"),
           ("one-section-100k", "one-section-1M"), ("tiny-sections-100k", "tiny-sections-1M")]


def measured_commit():
    """The commit whose program was measured, marked when files outside bench/ differ from it."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    try:
        commit = subprocess.run(["git", "-C", root, "rev-parse", "--short", "HEAD"],
                                capture_output=True, text=True, check=True).stdout.strip()
        changed = subprocess.run(["git", "-C", root, "status", "--porcelain", "--", ".",
                                  ":!bench"], capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return ""
    return f" at commit {commit}" + (" with uncommitted changes" if changed.strip() else "")


def main(work, out):
    rows = []
    for line in open(os.path.join(work, "results.tsv")).read().splitlines():
        name, size, peak_kib = line.split("\t")
        data = json.load(open(os.path.join(work, name + ".json")))
        medians = {r["command"]: r["median"] for r in data["results"]}
        rows.append((name, int(size), int(peak_kib) * 1024, medians))
    by_name = {name: (size, peak, m) for name, size, peak, m in rows}

    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo")
                if l.startswith("model name")), "?")
    baseline = all("baseline" in m for _, _, _, m in rows)
    lines = [
        "# Benchmark results",
        "",
        f"Measured {datetime.date.today()}{measured_commit()} by `bash bench/run.sh"
        f"{' --baseline …' if baseline else ''}` on {platform.node()}: {cpu}, "
        f"{os.cpu_count()} cores, {platform.system()} {platform.release()}. Medians of hyperfine "
        "runs, each command started without a shell; the input is restored before each run. "
        "Ratios compare cfgrenum with each baseline measured in the same run (below 1 means "
        "cfgrenum is faster). Peak memory is the maximum resident set size of one cfgrenum run. "
        "A realistic file's row has none of its texture folders beside it, so that every entry "
        "earns a warning; its \"+folders\" row has every one of them there, so that the folder "
        "is listed and every texture matched.",
        "",
    ]
    if baseline:
        lines += ["The baseline is an earlier build of cfgrenum, given to run.sh with --baseline "
                  "and timed on the same input in the same run: \"÷ baseline\" is what the "
                  "program costs now next to it.", ""]
    head = "| file | size | cfgrenum |" + (" baseline | ÷ baseline |" if baseline else "")
    lines += [
        head + " cp | dd fsync | awk | ÷ cp | ÷ dd fsync | ÷ awk | peak memory "
        "| memory ÷ size | with huge pages | its ÷ dd fsync | its ÷ awk |",
        "|---|---:|---:|" + ("---:|---:|" if baseline else "") +
        "---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for name, size, peak, m in rows:
        against = (f" {m['baseline'] * 1e3:.1f} ms | {m['cfgrenum'] / m['baseline']:.2f} |"
                   if baseline else "")
        lines.append(
            f"| {name} | {size / 1e6:.2f} MB | {m['cfgrenum'] * 1e3:.1f} ms |{against}"
            f" {m['cp'] * 1e3:.1f} ms"
            f" | {m['dd-fsync'] * 1e3:.1f} ms | {m['awk'] * 1e3:.1f} ms | "
            f"{m['cfgrenum'] / m['cp']:.2f} | {m['cfgrenum'] / m['dd-fsync']:.2f} | "
            f"{m['cfgrenum'] / m['awk']:.2f} | {peak / 1e6:.1f} MB | {peak / size:.2f} | "
            f"{m['cfgrenum-thp'] * 1e3:.1f} ms | {m['cfgrenum-thp'] / m['dd-fsync']:.2f} | "
            f"{m['cfgrenum-thp'] / m['awk']:.2f} |")
    lines += ["", "The last three columns run the same binary with "
              "`GLIBC_TUNABLES=glibc.malloc.hugetlb=1`, so that the heap that holds the file is "
              "backed by huge pages: the difference to the plain run is what the first touch of "
              "each 4 KiB page of that memory costs on this machine. The program holds the whole "
              "file before it writes anything (a file read only in part must never be written "
              "back), so it pays for those pages where cp, dd and awk, which stream, do not."]

    lines += ["", "Scaling (time of the larger input ÷ time of the smaller; target: at most 1.2 × "
              "the size ratio):", ""]
    for small, large in SCALING:
        if small in by_name and large in by_name:
            t = by_name[large][2]["cfgrenum"] / by_name[small][2]["cfgrenum"]
            s = by_name[large][0] / by_name[small][0]
            lines.append(f"- {small} → {large}: size × {s:.1f}, time × {t:.1f} "
                         f"({'met' if t <= 1.2 * s else 'NOT met'})")

    # What one more section costs: the peak above that of the smallest file, per section.
    if "realistic-50KB" in by_name:
        floor = by_name["realistic-50KB"][1]
        lines += ["", "Memory per section (peak above the 50 KB file's, divided by the sections):",
                  ""]
        for name, count in SECTIONS.items():
            if name in by_name and count > 1:
                size, peak, _ = by_name[name]
                lines.append(f"- {name}: {(peak - floor) / count:.0f} bytes a section, for "
                             f"{size / count:.0f} bytes of file; {peak / size:.2f} × the file size")
        lines += ["", "About 112 bytes is the floor for a section on 64-bit glibc: a 40-byte node "
                  "in a 48-byte chunk, and a header and a body that each own a heap buffer of "
                  "their own, each in glibc's smallest 32-byte chunk. Fewer bytes would take "
                  "Texts that share or do not own their buffers. A 32-bit build stops loading "
                  "once the sections cost 768 MiB, so such a file is refused cleanly there."]

    lines += ["", "Targets:", ""]

    def against_baseline(name, most, what):
        if baseline and name in by_name:
            r = by_name[name][2]["cfgrenum"] / by_name[name][2]["baseline"]
            lines.append(f"- {what} within {most} × the baseline: ÷ baseline = {r:.2f} "
                         f"({'met' if r <= most else 'NOT met'})")

    against_baseline("realistic-50KB", 1.1, "typical 50 KB file")
    against_baseline("realistic-80MB", 1.1, "~80 MB file, every texture folder missing,")
    against_baseline("realistic-80MB+folders", 1.25,
                     "~80 MB file with all of its texture folders present")
    if "realistic-50KB" in by_name:
        m = by_name["realistic-50KB"][2]
        r = m["cfgrenum"] / m["dd-fsync"]
        lines.append(f"- typical 50 KB file within 1.2 × the flushed dd copy: ÷ dd fsync = {r:.2f} "
                     f"({'met' if r <= 1.2 else 'NOT met'})")
    if "realistic-80MB" in by_name:
        size, peak, m = by_name["realistic-80MB"]
        lines += [f"- ~80 MB file faster than the awk one-liner: ÷ awk = "
                  f"{m['cfgrenum'] / m['awk']:.2f} "
                  f"({'met' if m['cfgrenum'] < m['awk'] else 'NOT met'})",
                  f"- ~80 MB file within 3 × the flushed dd copy: ÷ dd fsync = "
                  f"{m['cfgrenum'] / m['dd-fsync']:.2f} "
                  f"({'met' if m['cfgrenum'] <= 3 * m['dd-fsync'] else 'NOT met'})",
                  f"- ~80 MB file's peak memory under 2.5 × its size: {peak / size:.2f} "
                  f"({'met' if peak / size < 2.5 else 'NOT met'})"]
    open(out, "w").write("\n".join(lines) + "\n")
    print("\n".join(lines))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
