#!/usr/bin/env bash
# quillmark-report against `exiv2 -pa` over a mixed folder: JPEG, HEIC, CR3, CR2, PNG, WebP and TIFF.
#
#   bench/ReportVsExiv2.sh REPORT_TOOL [--files N] [--runs N] [--samples FOLDER] [--summary FILE]
#
# The folder is made from the real camera files of the tests (tests/data/cameras, or --samples) of those
# kinds, copied round-robin under new names until it holds N files (default 300), so that every format
# weighs about the same. Both tools read the whole folder in one invocation (the files sorted by name,
# handed over by xargs), output to /dev/null: quillmark-report prints its text report, exiv2 its -pa
# listing. One warm-up round (it also fills the page cache), then N rounds (default 5) in which the two
# tools run one after the other; each tool's median round is reported, wall time and CPU time (user +
# system, the cross-check on a busy machine), and the ratio. The goal is 10 times faster than exiv2.
#
# exiv2 is an independent oracle for this benchmark only: when it is not installed the benchmark says
# so and ends with success.
set -euo pipefail

usage() {
    echo "usage: $0 REPORT_TOOL [--files N] [--runs N] [--samples FOLDER] [--summary FILE]" >&2
    exit 2
}

[ $# -ge 1 ] || usage
report_tool=$1
shift
files=300
runs=5
samples=$(cd "$(dirname "$0")/.." && pwd)/tests/data/cameras
summary=
while [ $# -gt 0 ]; do
    case $1 in
    --files) files=${2:?}; shift 2 ;;
    --runs) runs=${2:?}; shift 2 ;;
    --samples) samples=${2:?}; shift 2 ;;
    --summary) summary=${2:?}; shift 2 ;;
    *) usage ;;
    esac
done
[ -x "$report_tool" ] || { echo "not an executable: $report_tool" >&2; exit 2; }
[ -d "$samples" ] || { echo "not a folder: $samples" >&2; exit 2; }
if ! command -v exiv2 >/dev/null 2>&1; then
    echo "ReportVsExiv2: skipped, exiv2 is not installed (apt-get install exiv2)"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -d '' sources < <(find "$samples" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.heic' \
    -o -iname '*.cr3' -o -iname '*.cr2' -o -iname '*.png' -o -iname '*.webp' -o -iname '*.tif' \
    -o -iname '*.tiff' \) -print0 | sort -z)
[ ${#sources[@]} -gt 0 ] || { echo "no JPEG, HEIC, CR3, CR2, PNG, WebP or TIFF files in $samples" >&2; exit 1; }
# Round-robin by kind, so that the many JPEGs do not crowd out the few files of the other formats.
declare -A by_kind=()
for f in "${sources[@]}"; do
    ext=${f##*.}
    ext=${ext,,}
    [ "$ext" = tif ] && ext=tiff
    by_kind[$ext]+="$f"$'\n'
done
folder=$work/mixed
mkdir "$folder"
kinds=("${!by_kind[@]}")
declare -A used=()
for ((n = 0; n < files; n++)); do
    kind=${kinds[n % ${#kinds[@]}]}
    mapfile -t of_kind <<<"${by_kind[$kind]%$'\n'}"
    k=${used[$kind]:-0}
    used[$kind]=$((k + 1))
    src=${of_kind[k % ${#of_kind[@]}]}
    cp "$src" "$(printf '%s/%05d_%s' "$folder" "$n" "$(basename "$src")")"
done
list=$work/files
find "$folder" -type f -print0 | sort -z >"$list"
bytes=$(du -sb "$folder" | cut -f1)

names=("quillmark-report" "exiv2 -pa")
tool_command() {
    case $1 in
    0) cmd=("$report_tool") ;;
    1) cmd=(exiv2 -pa) ;;
    esac
}

# One tool over the whole list: "wall cpu" in milliseconds. Exit statuses are ignored: exiv2 reports a
# file without some kind of metadata (or of a format it does not read) as a failure.
run_once() {
    local TIMEFORMAT='%3R %3U %3S' times cmd
    tool_command "$1"
    times=$({ time xargs -0 -n 100000 -a "$list" "${cmd[@]}" >/dev/null 2>&1; } 2>&1) || true
    awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' <<<"$times"
}

for i in 0 1; do run_once "$i" >/dev/null; done # warm-up
rounds=$work/rounds
for ((r = 0; r < runs; r++)); do
    for i in 0 1; do echo "$i $(run_once "$i")"; done
done >"$rounds"

median() { awk -v t="$1" -v c="$2" '$1 == t { print $c }' "$rounds" | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

table=$(awk -v n="$files" -v mb="$bytes" -v runs="$runs" -v kinds="$(printf '%s ' "${kinds[@]}" | tr a-z A-Z)" \
    -v w0="$(median 0 2)" -v w1="$(median 1 2)" -v c0="$(median 0 3)" -v c1="$(median 1 3)" 'BEGIN {
    if (w0 < 1) w0 = 1
    if (c0 < 1) c0 = 1
    printf "quillmark-report vs exiv2 -pa: %d files (%s), %.1f MB, median of %d rounds\n", n, kinds, mb / 1e6, runs
    printf "%-18s %9s %9s %9s\n", "tool", "wall s", "files/s", "cpu s"
    printf "%-18s %9.3f %9.0f %9.3f\n", "quillmark-report", w0 / 1e3, n / (w0 / 1e3), c0 / 1e3
    printf "%-18s %9.3f %9.0f %9.3f\n", "exiv2 -pa", w1 / 1e3, n / (w1 / 1e3), c1 / 1e3
    printf "quillmark-report is %.1fx faster in wall time, %.1fx in CPU time; goal 10x: %s\n", w1 / w0, c1 / c0,
        (w1 / w0 >= 10 ? "met" : "NOT met")
}')
echo "$table"
[ -z "$summary" ] || echo "$table" >"$summary"
