#!/usr/bin/env bash
# Report throughput: quillmark-report against `exiv2 -pa` and `exiftool` over the same folder of photos.
#
#   bench/report_throughput.sh REPORT_TOOL FOLDER [--runs N] [--batch N] [--summary FILE]
#
# How each tool is run: the way a user reads a whole folder, with every .jpg of FOLDER (sorted by name)
# handed to the tool through xargs in batches of --batch files (default 1000, i.e. one invocation for the
# small-file corpus), output to /dev/null. All three tools get exactly the same batches. exiv2 and
# exiftool run with their defaults besides -pa; quillmark-report prints its text report.
#
# Repetitions: one warm-up round (it also fills the page cache), then N rounds (default 5) that run the
# three tools one after the other, so that all of them meet the same machine state; each tool's median
# round is reported: wall time, files per second and how many times faster quillmark-report is, and the
# same ratio in CPU time (user + system of the tool's processes) as a cross-check on a busy machine.
#
# exiv2 and exiftool are installed from Debian packages (exiv2, libimage-exiftool-perl) when missing:
# they are needed by this benchmark only, never by the build or the tests.
set -euo pipefail

usage() {
    echo "usage: $0 REPORT_TOOL FOLDER [--runs N] [--batch N] [--summary FILE]" >&2
    exit 2
}

[ $# -ge 2 ] || usage
report_tool=$1
folder=$2
shift 2
runs=5
batch=1000
summary=
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=${2:?}; shift 2 ;;
    --batch) batch=${2:?}; shift 2 ;;
    --summary) summary=${2:?}; shift 2 ;;
    *) usage ;;
    esac
done
[ -x "$report_tool" ] || { echo "not an executable: $report_tool" >&2; exit 2; }
[ -d "$folder" ] || { echo "not a folder: $folder" >&2; exit 2; }

install_missing() {
    local missing=()
    command -v exiv2 >/dev/null 2>&1 || missing+=(exiv2)
    command -v exiftool >/dev/null 2>&1 || missing+=(libimage-exiftool-perl)
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing for the benchmark: ${missing[*]}" >&2
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || { echo "cannot install ${missing[*]}: not root" >&2; exit 1; }
        sudo=(sudo)
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}" >/dev/null ||
        { DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get update >/dev/null &&
            DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}" >/dev/null; }
}
install_missing

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
list=$work/files
find "$folder" -maxdepth 1 -type f -name '*.jpg' -print0 | sort -z >"$list"
count=$(tr -cd '\0' <"$list" | wc -c)
[ "$count" -gt 0 ] || { echo "no .jpg files in $folder" >&2; exit 1; }

names=("quillmark-report" "exiv2 -pa" "exiftool")
# Sets cmd to tool $1's command line.
tool_command() {
    case $1 in
    0) cmd=("$report_tool") ;;
    1) cmd=(exiv2 -pa) ;;
    2) cmd=(exiftool) ;;
    esac
}

# Each tool must really read the files: a tool that prints nothing is misconfigured, not fast.
first=$(head -z -n 1 "$list" | tr -d '\0')
for i in 0 1 2; do
    tool_command "$i"
    lines=$("${cmd[@]}" "$first" 2>/dev/null | wc -l || true)
    [ "$lines" -gt 5 ] || { echo "${names[$i]} printed $lines lines for $first" >&2; exit 1; }
done

# One tool over the whole list: "wall cpu" in milliseconds, cpu being the user and system time of the
# tool's processes. Wall time is what a user waits; CPU time is the cross-check that suffers least when
# other work shares the machine. Exit statuses are ignored: exiv2 reports a file without some kind of
# metadata as a failure.
run_once() {
    local TIMEFORMAT='%3R %3U %3S' times cmd
    tool_command "$1"
    times=$({ time xargs -0 -n "$batch" -a "$list" "${cmd[@]}" >/dev/null 2>&1; } 2>&1) || true
    awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' <<<"$times"
}

for i in 0 1 2; do run_once "$i" >/dev/null; done # warm-up
rounds=$work/rounds
for ((r = 0; r < runs; r++)); do
    for i in 0 1 2; do echo "$i $(run_once "$i")"; done
done >"$rounds"

# Per tool: the median wall and CPU times, in milliseconds.
median() { awk -v t="$1" -v c="$2" '$1 == t { print $c }' "$rounds" | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

table=$(awk -v n="$count" -v batch="$batch" -v runs="$runs" \
    -v w0="$(median 0 2)" -v w1="$(median 1 2)" -v w2="$(median 2 2)" \
    -v c0="$(median 0 3)" -v c1="$(median 1 3)" -v c2="$(median 2 3)" 'BEGIN {
    printf "report throughput: %d files, batches of %d files, median of %d rounds\n", n, batch, runs
    printf "%-18s %9s %9s %13s %9s %13s\n", "tool", "wall s", "files/s", "quillmark is", "cpu s", "(cpu ratio)"
    printf "%-18s %9.3f %9.0f %13s %9.3f %13s\n", "quillmark-report", w0 / 1e3, n / (w0 / 1e3), "-", c0 / 1e3, "-"
    printf "%-18s %9.3f %9.0f %12.1fx %9.3f %12.1fx\n", "exiv2 -pa", w1 / 1e3, n / (w1 / 1e3), w1 / w0, c1 / 1e3, c1 / c0
    printf "%-18s %9.3f %9.0f %12.1fx %9.3f %12.1fx\n", "exiftool", w2 / 1e3, n / (w2 / 1e3), w2 / w0, c2 / 1e3, c2 / c0
    printf "targets (wall time): 5x exiv2 -pa %s, 50x exiftool %s\n", (w1 / w0 >= 5 ? "met" : "NOT met"), (w2 / w0 >= 50 ? "met" : "NOT met")
}')
echo "$table"
[ -z "$summary" ] || echo "$table" >"$summary"
