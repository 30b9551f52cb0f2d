#!/usr/bin/env bash
# Checks the manual page: groff finds nothing to warn about, and it names each switch and report key the README does.
# Usage: check-manual.sh PAGE README
set -uo pipefail
page=$1 readme=$2
status=0

warnings=$(groff -man -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
    printf 'groff warns:\n%s\n' "$warnings"
    status=1
fi
# The page as a reader sees it, so a key is found however the roff marks it up.
text=$(groff -man -Tascii -P-cbu "$page" 2>/dev/null)
# The keys are the first column of the README's table of what the Linux program reads; the switches are fixed.
keys=$(sed -n 's/^| `\([a-z]*\)` |.*/\1=/p' "$readme")
[ "$(wc -w <<<"$keys")" -eq 5 ] || { echo "the README's table names $(wc -w <<<"$keys") keys, not 5"; status=1; }
for word in -f -F $keys; do
    if ! grep -qF -- "$word" <<<"$text"; then
        echo "the page never names $word"
        status=1
    fi
done
exit $status
