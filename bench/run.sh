#!/usr/bin/env bash
# Benchmark: times cfgrenum against baselines measured in the same run, and writes RESULTS.md.
#
#   bash bench/run.sh                        # the full set, up to an ~80 MB realistic file
#   bash bench/run.sh --quick                # smaller files and fewer runs, for a smoke test
#   bash bench/run.sh --baseline OLD_BINARY  # also times an earlier build of the program
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
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1 ;;
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
    (cd "$folder" && /usr/bin/time -f '%M' -o "$work/$name.peak" "$exe" </dev/null >/dev/null)
    printf '%s\t%s\t%s\n' "$name" "$(stat -c %s "$input")" "$(cat "$work/$name.peak")" >> "$results"
    echo "measured $name"
}
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
