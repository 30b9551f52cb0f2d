#!/usr/bin/env bash
# What the native tavlen costs against bench/floor.c, the least program that does its job, on a fake host.
# Prints the measures as ratios and whether each goal is met, and writes the same to bench/results.md.
# Usage: bench/run.sh [rounds]; rounds is the number of paired timed runs per case (default 41).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-41}
work=${TAVLEN_BENCH_WORK:-}

if [ -z "$work" ]; then
    bash "$top/tools/setup.sh" native
    missing=()
    for tool in valgrind strace time; do command -v $tool >/dev/null || [ -x /usr/bin/$tool ] || missing+=($tool); done
    if [ ${#missing[@]} -gt 0 ]; then
        sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
    cmake --preset native -S "$top" >/dev/null
    cmake --build "$top/build/native" --target Tavlen -j2 >/dev/null
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cc -O2 -o "$work/floor" "$top/bench/floor.c"
    cp "$top/build/native/tavlen" "$work/tavlen"
    # The fake host is mounted in a namespace of its own, so the real /sys and /etc stay as they are.
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo env TAVLEN_BENCH_WORK="$work" unshare -m --propagation private bash "$0" "$rounds" | tee "$work/out.md"
    cp "$work/out.md" "$top/bench/results.md"
    exit 0
fi

# Inside the namespace from here on.
mount -t tmpfs tmpfs /sys/class
mkdir -p /sys/class/dmi/id "$work/out"
mount -t tmpfs tmpfs "$work/out"
cat > "$work/os-release" <<'EOF'
PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"
NAME="Debian GNU/Linux"
VERSION_ID="12"
VERSION="12 (bookworm)"
VERSION_CODENAME=bookworm
ID=debian
HOME_URL="https://www.debian.org/"
SUPPORT_URL="https://www.debian.org/support"
BUG_REPORT_URL="https://bugs.debian.org/"
EOF
mount --bind "$work/os-release" /etc/os-release

# fake_host SIZE: every DMI value SIZE bytes long, or a typical machine's values for "typical".
fake_host() {
    local name
    if [ "$1" = typical ]; then
        printf 'Latitude 7420\n' > /sys/class/dmi/id/product_name
        printf 'Rev A01\n' > /sys/class/dmi/id/product_version
        printf '4XK9Q93\n' > /sys/class/dmi/id/product_serial
        printf '1.21.0\n' > /sys/class/dmi/id/bios_version
        return
    fi
    for name in product_name product_version product_serial bios_version; do
        { head -c "$1" /dev/zero | tr '\0' 'x'; echo; } > /sys/class/dmi/id/$name
    done
}

instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
# The median of nine runs: where the loader places the program moves its peak by a page or two.
peak_rss() {
    local i kb=()
    for i in 1 2 3 4 5 6 7 8 9; do kb+=($(/usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1)); done
    printf '%s\n' "${kb[@]}" | sort -n | sed -n 5p
}
syscalls() {
    strace -f -c -o "$work/strace.txt" "$@" >/dev/null
    awk '$NF == "total" { print $4 }' "$work/strace.txt"
}
# Paired: each round runs both programs back to back, so a busy moment of the machine falls on both.
wall_ratio() {
    local i t0 t1 t2 a=() b=()
    for ((i = 0; i < rounds; i++)); do
        t0=$EPOCHREALTIME; "$work/tavlen" -f "$work/out/report.txt"
        t1=$EPOCHREALTIME; "$work/floor" -f "$work/out/report.txt"
        t2=$EPOCHREALTIME
        a+=($(( ${t1/./} - ${t0/./} ))) b+=($(( ${t2/./} - ${t1/./} )))
    done
    local ma mb
    ma=$(printf '%s\n' "${a[@]}" | sort -n | sed -n "$(( (rounds + 1) / 2 ))p")
    mb=$(printf '%s\n' "${b[@]}" | sort -n | sed -n "$(( (rounds + 1) / 2 ))p")
    echo "$ma $mb"
}
thousands() { echo "$1" | sed ':a; s/\B[0-9]\{3\}\>/,&/; ta'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
within() { awk -v r="$1" -v g="$2" 'BEGIN { exit !(r <= g) }' && echo met || echo "NOT met"; }

# The two programs must write the same report, but for its time, or the comparison means nothing.
same_report() {
    "$work/tavlen" -f "$work/out/a.txt"
    "$work/floor" -f "$work/out/b.txt"
    cmp -s <(tail -n +2 "$work/out/a.txt") <(tail -n +2 "$work/out/b.txt") || {
        echo "tavlen and the floor wrote different reports for the $1 host:" >&2
        diff <(tail -n +2 "$work/out/a.txt") <(tail -n +2 "$work/out/b.txt") | head -5 >&2
        exit 1
    }
}

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
echo "# What tavlen costs against the least program that does its job"
echo
echo "Run on $(date -u '+%Y-%m-%d %H:%M UTC'): $(uname -m), ${cpu:-unknown CPU}, $(nproc) cores, Linux $(uname -r)."
echo "A fake host in a private mount namespace; the report goes to tmpfs. Host values longer than 64 KiB are"
echo "cut there by both programs, so the 100 KB and 1 MB cases read 64 KiB of each; 6.4 KB and 64 KB show"
echo "the growth of values read whole. Wall time: medians of $rounds paired runs."
echo
echo "| DMI values | tavlen instructions | floor instructions | ratio | peak RSS (KB) | ratio | system calls | ratio | wall (µs) | ratio |"
echo "|---|---|---|---|---|---|---|---|---|---|"
declare -A ins ins_floor rss_ratio sys_ratio
for size in typical 1000 6400 64000 100000 1000000; do
    fake_host $size
    same_report $size
    cmd=(-f "$work/out/report.txt")
    i_t=$(instructions "$work/tavlen" "${cmd[@]}") i_f=$(instructions "$work/floor" "${cmd[@]}")
    r_t=$(peak_rss "$work/tavlen" "${cmd[@]}") r_f=$(peak_rss "$work/floor" "${cmd[@]}")
    s_t=$(syscalls "$work/tavlen" "${cmd[@]}") s_f=$(syscalls "$work/floor" "${cmd[@]}")
    read -r w_t w_f < <(wall_ratio)
    ins[$size]=$i_t ins_floor[$size]=$i_f
    rss_ratio[$size]=$(ratio "$r_t" "$r_f") sys_ratio[$size]=$(ratio "$s_t" "$s_f")
    case $size in typical) label=typical ;; 1000000) label="1 MB" ;; *) label="$(awk -v s=$size 'BEGIN { print s / 1000 }') KB" ;; esac
    echo "| $label | $(thousands "$i_t") | $(thousands "$i_f") | $(ratio "$i_t" "$i_f")× | $r_t / $r_f | ${rss_ratio[$size]}× | $s_t / $s_f | ${sys_ratio[$size]}× | $w_t / $w_f | $(ratio "$w_t" "$w_f")× |"
done

r_ins=$(ratio "${ins[typical]}" "${ins_floor[typical]}")
r_grow=$(ratio "${ins[1000000]}" "${ins[100000]}")
r_grow_whole=$(ratio "${ins[64000]}" "${ins[6400]}")
r_mb=$(ratio "${ins[1000000]}" "${ins_floor[1000000]}")
r_64=$(ratio "${ins[64000]}" "${ins_floor[64000]}")
echo
echo "## Goals"
echo
echo "| goal | measured | |"
echo "|---|---|---|"
echo "| instructions ≤ 1.5× the floor, typical values | ${r_ins}× | $(within "$r_ins" 1.5) |"
echo "| peak RSS ≤ 1.3×, typical values | ${rss_ratio[typical]}× | $(within "${rss_ratio[typical]}" 1.3) |"
echo "| system calls ≤ 1.3×, typical values | ${sys_ratio[typical]}× | $(within "${sys_ratio[typical]}" 1.3) |"
echo "| linear growth: instructions at 1 MB ≤ 11× those at 100 KB | ${r_grow}× | $(within "$r_grow" 11) |"
echo "| linear growth: instructions at 1 MB ≤ 3× the floor's | ${r_mb}× | $(within "$r_mb" 3) |"
echo "| linear growth, values read whole: 64 KB ≤ 11× 6.4 KB | ${r_grow_whole}× | $(within "$r_grow_whole" 11) |"
echo "| linear growth, values read whole: 64 KB ≤ 3× the floor's | ${r_64}× | $(within "$r_64" 3) |"
