#!/usr/bin/env bash
# Every C++ file in git must read as clang-format writes it with the repository's .clang-format.
# Lists the files that differ and exits 1 when there is one; `clang-format -i FILE` rewrites a
# file as the check wants it. CLANG_FORMAT names another binary (default clang-format, the one
# scripts/deps.sh installs: another version may wrap lines differently).
set -euo pipefail
cd "$(dirname "$0")/.."

format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null 2>&1; then
    echo "check-format.sh: $format is missing (scripts/deps.sh installs it)" >&2
    exit 1
fi

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
    echo "format: no C++ files in git"
    exit 0
fi
# One run over every file: a violation is reported as "FILE:LINE:COL: error: ...".
status=0
out=$(printf '%s\0' "${files[@]}" | xargs -0 -r "$format" --dry-run --Werror 2>&1 >/dev/null) ||
    status=$?
mapfile -t differ < <(printf '%s\n' "$out" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*clang-format-violations.*$/\1/p' | sort -u)

if [ "$status" -ne 0 ] && [ ${#differ[@]} -eq 0 ]; then
    # It failed for another reason than a file's layout (a broken .clang-format, say).
    printf '%s\n' "$out" >&2
    echo "check-format.sh: $format failed" >&2
    exit 1
fi
if [ ${#differ[@]} -gt 0 ]; then
    printf 'not formatted: %s\n' "${differ[@]}"
    echo "format: ${#differ[@]} of ${#files[@]} files differ from clang-format"
    exit 1
fi
echo "format: ${#files[@]} files as clang-format writes them"
