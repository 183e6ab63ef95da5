#!/usr/bin/env bash
# Peak memory of `vorlane info` on hostile files: every seed of the fuzz corpora and
# deterministic mutations of each (32-bit fields set to extremes, truncation), one process per
# file under /usr/bin/time -v. Reports the largest maximum resident size and the file that
# needed it; exits 1 when a run exceeds the limit (200 MB) or 60 s.
#
#   bench/peak_memory.sh [path/to/vorlane] [mutations per seed]
set -euo pipefail
cd "$(dirname "$0")/.."

vorlane=${1:-build/release/vorlane}
mutations=${2:-8}
limit_kb=$((200 * 1024))
[[ -x "$vorlane" ]] || { echo "no vorlane program at $vorlane" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing (Debian package: time)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/files"

# Writes the bytes (printf escapes) at an offset of the file.
poke() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

RANDOM=20261208
count=0
for seed in fuzz/corpus/*/*; do
    [[ -f "$seed" ]] || continue
    target=$(basename "$(dirname "$seed")")
    name=$(basename "$seed")
    mkdir -p "$work/files/$target"
    cp "$seed" "$work/files/$target/$name"
    size=$(stat -c %s "$seed")
    ((size > 4)) || continue
    stem=${name%.*}
    extension=${name#"$stem"}
    for ((m = 0; m < mutations; ++m)); do
        mutated="$work/files/$target/$stem.m$m$extension"
        cp "$seed" "$mutated"
        offset=$(((RANDOM * 32768 + RANDOM) % (size - 4)))
        case $((m % 4)) in
            0) poke "$mutated" "$offset" '\377\377\377\377' ;;
            1) poke "$mutated" "$offset" '\377\377\377\177' ;;
            2) poke "$mutated" "$offset" '\000\000\000\000' ;;
            3) truncate -s "$offset" "$mutated" ;;
        esac
    done
done

peak=0
peak_file=
failed=0
while IFS= read -r -d '' file; do
    count=$((count + 1))
    VORLANE_CONFIG_DIR="$work/config" /usr/bin/time -v -o "$work/time.txt" \
        timeout 60 "$vorlane" info --quiet "$file" >/dev/null 2>&1 || true
    report=$(cat "$work/time.txt")
    kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' <<<"$report")
    status=$(sed -n 's/.*Exit status: //p' <<<"$report")
    if [[ "$status" == 124 ]]; then
        echo "timed out: $file"
        failed=1
    fi
    if ((kb > peak)); then
        peak=$kb
        peak_file=$file
    fi
    if ((kb > limit_kb)); then
        echo "over the limit: $file: $((kb / 1024)) MB"
        failed=1
    fi
done < <(find "$work/files" -type f -print0 | sort -z)

echo "$count files, peak resident size $((peak / 1024)) MB (${peak} kB) for ${peak_file#"$work/files/"}"
echo "limit $((limit_kb / 1024)) MB"
exit $failed
