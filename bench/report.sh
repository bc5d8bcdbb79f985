#!/bin/bash
# The report of one benchmark run: prints the throughput and per-job tables
# and one line per goal (bench/report.awk), writes them as CSV and draws the
# throughput as a bar chart.
#
#   report.sh [RESULTS_DIR [OUT_DIR]]
#     RESULTS_DIR  the parts' rows: throughput.txt, jobs.txt, idle.txt
#                  (default build/bench/results)
#     OUT_DIR      where results.csv (one row per way), goals.csv and
#                  results.png go (default build/bench)
#
# The chart needs gnuplot (package gnuplot-nox, which ./run setup installs);
# without it, or when it fails, the report says so and goes on.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
RESULTS=${1:-$BUILD/bench/results}
OUT=${2:-$BUILD/bench}

log() { printf '== %s\n' "$*" >&2; }

# The inputs that exist, in the order the report reads them.
inputs() {
    local name
    for name in throughput jobs idle; do
        [[ -s $RESULTS/$name.txt ]] && echo "$RESULTS/$name.txt"
    done
    return 0
}

# MiB/s per way, coloured by protocol; references hatched, the ceiling hollow.
draw_chart() { # data file, png
    rm -f "$2"
    command -v gnuplot >/dev/null || { log "no gnuplot (package gnuplot-nox): no chart"; return 0; }
    [[ -s $1 ]] || return 0
    local last; last=$(awk 'END { print $1 }' "$1")
    gnuplot 2>"$RESULTS/gnuplot.log" <<EOF || { log "gnuplot failed: no chart ($(head -c 300 "$RESULTS/gnuplot.log"))"; return 0; }
set terminal pngcairo size 1200,650 font ",10"
set output "$2"
set title "Sending throughput (MiB/s, medians; loopback)"
set ylabel "MiB/s"
set yrange [0:*]
set grid ytics
set xtics rotate by -30 nomirror
set key outside right top
set xrange [-0.7:$last + 0.7]
set boxwidth 0.8
colour(p) = p == 1 ? 0x1f77b4 : p == 2 ? 0x2ca02c : 0xd62728
plot "$1" using 1:(\$5 == 1 ? \$3 : 1/0):(colour(\$4)):xtic(2) with boxes fs solid 0.85 border lc rgb "black" lc rgb variable notitle, \
     "" using 1:(\$5 == 2 ? \$3 : 1/0):(colour(\$4)) with boxes fs pattern 4 border lc rgb variable lc rgb variable notitle, \
     "" using 1:(\$5 == 3 ? \$3 : 1/0):(colour(\$4)) with boxes fs empty border lc rgb variable lc rgb variable notitle, \
     "" using 1:3:(sprintf("%.0f", \$3)) with labels offset 0,0.7 notitle, \
     keyentry with boxes fs solid 0.85 lc rgb "#1f77b4" title "Raw", \
     keyentry with boxes fs solid 0.85 lc rgb "#2ca02c" title "LPR", \
     keyentry with boxes fs solid 0.85 lc rgb "#d62728" title "IPP", \
     keyentry with boxes fs solid 0.85 lc rgb "gray40" title "ours (spooler host)", \
     keyentry with boxes fs pattern 4 lc rgb "gray40" title "reference", \
     keyentry with boxes fs empty lc rgb "gray40" title "ceiling (socat), floor (wine_send)"
EOF
    log "chart: $2"
}

main() {
    mkdir -p "$OUT"
    local files
    mapfile -t files < <(inputs)
    ((${#files[@]})) || { log "no results in $RESULTS"; return 1; }
    awk -v csv="$OUT/results.csv" -v goals_csv="$OUT/goals.csv" -v plot="$RESULTS/plot.dat" \
        -f "$HERE/report.awk" "${files[@]}"
    printf '\nCSV: %s, %s\n' "$OUT/results.csv" "$OUT/goals.csv"
    draw_chart "$RESULTS/plot.dat" "$OUT/results.png"
}

main
