#!/usr/bin/env bash
# Benchmark: times cfgrenum against baselines measured in the same run, and writes RESULTS.md.
#
#   bash bench/run.sh                        # the full set, up to an ~80 MB realistic file
#   bash bench/run.sh --quick                # smaller files and fewer runs, for a smoke test
#   bash bench/run.sh --baseline OLD_BINARY  # also times an earlier build of the program
#   bash bench/run.sh --only-collection      # only the 1,000-folder collection
#   bash bench/run.sh --only-community       # only the Community folder of 300 packages
#
# Baselines, on the same input: cp (a plain copy), dd conv=fsync (a copy flushed to disk, as the
# program's safe save is) and an awk one-liner that renumbers the [fltsim. header lines; with
# --baseline, an earlier build of cfgrenum too (such as a release build of the last commit before
# a change), so that what the change costs is measured in the same run. Each realistic file is
# timed twice: with none of its texture folders beside it (so every entry earns a warning), and,
# in rows marked "+folders", with every one of them there (so the folder is listed and every
# texture matched, and nothing is warned about). Each run
# restores the input first (hyperfine --prepare); commands run without a shell (hyperfine -N), so
# that a shell's start-up does not hide the cost of the program's own on small files. Peak memory
# comes from /usr/bin/time, written to a file of its own. bench/report.py writes RESULTS.md.
# One more command, 'cfgrenum-thp', runs the same binary with glibc's transparent-huge-page tunable:
# it shows how much of the time goes to page faults for the memory that holds the file.
# Needs: cmake, g++, hyperfine, GNU time, awk, python3 (apt-get install hyperfine time).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/bench/work"
quick=0
baseline=""
only_collection=0
only_community=0
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1 ;;
        --only-collection) only_collection=1 ;;
        --only-community) only_community=1 ;;
        --baseline) baseline=$(realpath "${2:?--baseline needs the path of a cfgrenum binary}"); shift ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
    shift
done
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
    echo "not a program: $baseline" >&2
    exit 2
fi

for tool in hyperfine /usr/bin/time python3 awk dd; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install hyperfine time)" >&2; exit 1; }
done

cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
exe="$root/build-release/cfgrenum"
gen="$root/build-release/bench/make_aircraft_cfg"

rm -rf "$work"
mkdir -p "$work"
# name shape count: realistic entries are about 380 bytes; 50 KB (a typical real file), 1 MB,
# 10 MB and about 80 MB.
files="realistic-50KB realistic 130
realistic-1MB realistic 2650
realistic-10MB realistic 26500"
runs=3
if [ $quick = 0 ]; then
    files="$files
realistic-80MB realistic 212000"
    runs=10
fi
files="$files
one-section-100k one-section 100000
one-section-1M one-section 1000000
tiny-sections-100k tiny-sections 100000
tiny-sections-1M tiny-sections 1000000
bare-headers-1M bare-headers 1000000"

renumber_awk='BEGIN { n = 0 } /^[ \t]*\[/ && tolower($0) ~ /fltsim\./ { print "[fltsim." n++ "]\r"; next } { print }'
results="$work/results.tsv"
: > "$results"
# measure NAME INPUT RUNS FOLDER: times every command on INPUT, run as FOLDER/aircraft.cfg.
measure() {
    local name=$1 input=$2 runs=$3 folder=$4
    local target="$folder/aircraft.cfg"
    local with_baseline=()
    [ -n "$baseline" ] && with_baseline=(-n baseline "$baseline")
    (cd "$folder" && hyperfine --style basic -N --runs "$runs" --warmup 3 \
        --prepare "sh -c 'cp $input $target && sync'" \
        --export-json "$work/$name.json" \
        -n cfgrenum "$exe" \
        "${with_baseline[@]}" \
        -n cfgrenum-thp "env GLIBC_TUNABLES=glibc.malloc.hugetlb=1 $exe" \
        -n cp "cp $input $work/copy.cfg" \
        -n dd-fsync "dd if=$input of=$work/copy.cfg bs=1M conv=fsync status=none" \
        -n awk "awk '$renumber_awk' $target") >/dev/null
    cp "$input" "$target"
    (cd "$folder" && /usr/bin/time -f '%M' -o "$work/$name.peak" "$exe" </dev/null >/dev/null 2>&1)
    printf '%s\t%s\t%s\n' "$name" "$(stat -c %s "$input")" "$(cat "$work/$name.peak")" >> "$results"
    echo "measured $name"
}
collection() {
    # A collection as AI-traffic packs hold it: 1,000 aircraft folders with a file of about 50 KB
    # each, half of them needing a renumber, the other half tidy. The program is run on the whole
    # folder, as a user who drops it would; the baselines are what a user would otherwise script:
    # the awk one-liner on every file, rewriting it in place, and, for the second run over a tidy
    # collection, the cost of reading every file once.
    local pristine="$work/collection-pristine" coll="$work/collection"
    rm -rf "$pristine" "$coll"
    mkdir -p "$pristine"
    "$gen" realistic 130 "$work/collection-one.cfg"
    local tidy="$work/collection-tidy"
    mkdir -p "$tidy"
    cp "$work/collection-one.cfg" "$tidy/aircraft.cfg"
    (cd "$tidy" && "$exe" --no-backup </dev/null >/dev/null 2>&1)
    for i in $(seq 0 999); do
        mkdir "$pristine/Aircraft $i"
        if [ $((i % 2)) = 0 ]; then
            cp "$work/collection-one.cfg" "$pristine/Aircraft $i/aircraft.cfg"
        else
            cp "$tidy/aircraft.cfg" "$pristine/Aircraft $i/aircraft.cfg"
        fi
    done
    local script="$work/renumber-in-place.sh"
    printf '%s\n' "awk '$renumber_awk' \"\$1\" > \"\$1.new\" && mv \"\$1.new\" \"\$1\"" >"$script"
    hyperfine --style basic --runs "$runs" --warmup 1 \
        --prepare "rm -rf '$coll' && cp -r '$pristine' '$coll' && sync" \
        --export-json "$work/collection-first.json" \
        -n cfgrenum "'$exe' '$coll' </dev/null" \
        -n find-awk "find '$coll' -name aircraft.cfg -exec sh '$script' {} \\;" >/dev/null
    rm -rf "$coll" && cp -r "$pristine" "$coll"
    "$exe" --no-backup "$coll" </dev/null >/dev/null 2>&1
    hyperfine --style basic --runs "$runs" --warmup 1 \
        --export-json "$work/collection-again.json" \
        -n cfgrenum "'$exe' '$coll' </dev/null" \
        -n find-cat "find '$coll' -name aircraft.cfg -exec cat {} +" >/dev/null
    python3 - "$work" "$root/bench/RESULTS.md" <<'PY'
import json, statistics, sys
work, out = sys.argv[1], sys.argv[2]
def medians(name):
    with open(f"{work}/{name}.json") as f:
        return {r["command"]: statistics.median(r["times"]) for r in json.load(f)["results"]}
first, again = medians("collection-first"), medians("collection-again")
lines = [
    "",
    "## A collection of 1,000 aircraft folders",
    "",
    "1,000 folders with an `aircraft.cfg` of about 50 KB each, half of them needing a renumber, "
    "the program run once on the whole folder (with its backups), against what a user would "
    "otherwise script, measured in the same run. Targets: the first run at most 0.5x the awk "
    "one-liner run by `find -exec` on every file (rewriting it in place); a second run over the "
    "now tidy collection at most 2x reading every file once (`find -exec cat {} +`).",
    "",
    "| run | cfgrenum | baseline | ratio | target |",
    "|---|---:|---:|---:|---:|",
    f"| renumbering the collection | {first['cfgrenum']*1000:.0f} ms | "
    f"{first['find-awk']*1000:.0f} ms (find + awk) | {first['cfgrenum']/first['find-awk']:.2f} | 0.5 |",
    f"| again, all tidy | {again['cfgrenum']*1000:.0f} ms | {again['find-cat']*1000:.0f} ms "
    f"(find + cat) | {again['cfgrenum']/again['find-cat']:.2f} | 2 |",
]
text = open(out).read()
marker = "\n## A collection of 1,000 aircraft folders\n"
if marker in text:
    text = text[: text.index(marker)]
open(out, "w").write(text.rstrip("\n") + "\n" + "\n".join(lines) + "\n")
print("\n".join(lines))
PY
    rm -rf "$pristine" "$coll" "$tidy"
}

community() {
    # A Community folder of the newest simulators: 300 packages, each with one aircraft, three
    # texture folders of 20 files and a list that names every file with its true size and date,
    # all tidy. A second run with nothing to do is timed against what any tool must do to know
    # that: list every file with its size and time (find -printf) and read every aircraft.cfg and
    # layout.json once.
    local comm="$work/community"
    rm -rf "$comm"
    python3 - "$comm" <<'PY'
import json, os, sys
root = sys.argv[1]
cfg = "".join(f"[fltsim.{i}]\r\ntitle=Plane {{p}} livery {i}\r\ntexture={'ABC'[i]}\r\n" for i in range(3))
for p in range(300):
    pkg = os.path.join(root, f"pkg-{p:03}")
    plane = os.path.join(pkg, "SimObjects", "Airplanes", f"Plane {p}")
    os.makedirs(plane)
    with open(os.path.join(plane, "aircraft.cfg"), "w", newline="") as f:
        f.write(cfg.replace("{p}", str(p)))
    for t in "ABC":
        folder = os.path.join(plane, f"texture.{t}")
        os.makedirs(folder)
        for n in range(20):
            with open(os.path.join(folder, f"part{n:02}.dds"), "wb") as f:
                f.write(b"DDS " + bytes(100 + n))
    with open(os.path.join(pkg, "manifest.json"), "w") as f:
        json.dump({"dependencies": [], "content_type": "AIRCRAFT", "title": f"Plane {p}"}, f, indent=2)
    content = []
    for folder, _, names in sorted(os.walk(pkg)):
        for name in sorted(names):
            if name in ("layout.json", "manifest.json"):
                continue
            full = os.path.join(folder, name)
            st = os.stat(full)
            content.append({"path": os.path.relpath(full, pkg).replace(os.sep, "/"), "size": st.st_size,
                            "date": int(st.st_mtime_ns // 100) + 116444736000000000})
    with open(os.path.join(pkg, "layout.json"), "w") as f:
        json.dump({"content": content}, f, indent=2)
PY
    local with_baseline=()
    [ -n "$baseline" ] && with_baseline=(-n baseline "'$baseline' '$comm' </dev/null")
    "$exe" "$comm" </dev/null >"$work/community.out" 2>"$work/community.err" || true
    hyperfine --style basic --runs "$runs" --warmup 1 \
        --export-json "$work/community-again.json" \
        -n cfgrenum "'$exe' '$comm' </dev/null" \
        "${with_baseline[@]}" \
        -n find-printf-cat "sh -c \"find '$comm' -printf '%p %s %T@\\n' >/dev/null; find '$comm' \\( -name aircraft.cfg -o -name layout.json \\) -exec cat {} + >/dev/null\"" >/dev/null
    python3 - "$work" "$root/bench/RESULTS.md" <<'PY'
import json, statistics, sys
work, out = sys.argv[1], sys.argv[2]
with open(f"{work}/community-again.json") as f:
    t = {r["command"]: statistics.median(r["times"]) for r in json.load(f)["results"]}
lines = [
    "",
    "## A Community folder of 300 packages",
    "",
    "300 packages, each with one tidy aircraft, three texture folders of 20 files and a complete, "
    "true `layout.json`; the program run on the whole folder with nothing to do, against listing "
    "every file with its size and time (`find -printf`) plus reading every `aircraft.cfg` and "
    "`layout.json` once, measured in the same run. Target: at most 2x.",
    "",
    "| run | cfgrenum | baseline | ratio | target |",
    "|---|---:|---:|---:|---:|",
    f"| again, nothing to do | {t['cfgrenum']*1000:.0f} ms | {t['find-printf-cat']*1000:.0f} ms "
    f"(find -printf + cat) | {t['cfgrenum']/t['find-printf-cat']:.2f} | 2 |",
]
if "baseline" in t:
    lines.append(f"| the earlier build, the same run | {t['baseline']*1000:.0f} ms | | "
                 f"{t['cfgrenum']/t['baseline']:.2f} (this build / earlier) | |")
text = open(out).read()
marker = "\n## A Community folder of 300 packages\n"
if marker in text:
    text = text[: text.index(marker)]
open(out, "w").write(text.rstrip("\n") + "\n" + "\n".join(lines) + "\n")
print("\n".join(lines))
PY
    rm -rf "$comm"
}

if [ $only_collection = 1 ]; then
    collection
    exit 0
fi
if [ $only_community = 1 ]; then
    community
    exit 0
fi

while read -r name shape count; do
    input="$work/$name.cfg"
    "$gen" "$shape" "$count" "$input"
    small_runs=$runs
    [ "$shape" = realistic ] && [ "$count" -lt 1000 ] && small_runs=$((runs * 20))
    mkdir -p "$work/run"
    measure "$name" "$input" "$small_runs" "$work/run"
    if [ "$shape" = realistic ]; then
        # The generator gives entry i texture=livery_i: its folder, for every entry.
        folder="$work/run-$name-folders"
        mkdir -p "$folder"
        (cd "$folder" && seq 0 $((count - 1)) | sed 's/^/texture.livery_/' | xargs mkdir)
        measure "$name+folders" "$input" "$small_runs" "$folder"
        rm -rf "$folder"
    fi
done <<< "$files"

python3 "$root/bench/report.py" "$work" "$root/bench/RESULTS.md"
collection
community
