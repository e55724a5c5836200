# Shared by the benchmark scripts: `measure NAME COMMAND...` runs the command in a fresh folder
# $out/NAME `rounds` times and keeps the best wall time in wall[NAME] and the largest peak
# resident memory (KiB) in rss[NAME]; MEASURE_NAME_WIDTH sets the width of the printed name.
declare -A wall rss
measure() {
    local name="$1"
    shift
    local best="" best_rss=0
    for ((r = 0; r < rounds; r++)); do
        rm -rf "$out/$name" && mkdir -p "$out/$name"
        local log="$out/$name.time"
        (cd "$out/$name" && /usr/bin/time -v -o "$log" "$@" >/dev/null)
        local t m
        t=$(awk -F': ' '/Elapsed \(wall clock\)/ {
                n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$log")
        m=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$log")
        if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best="$t"
        fi
        [ "$m" -gt "$best_rss" ] && best_rss="$m"
    done
    local count
    count=$(ls "$out/$name" | wc -l)
    wall[$name]="$best"
    rss[$name]="$best_rss"
    printf '%-*s %7.2f s  peak %7d KiB  (%d files written)\n' "${MEASURE_NAME_WIDTH:-14}" "$name" "$best" "$best_rss" "$count"
}
