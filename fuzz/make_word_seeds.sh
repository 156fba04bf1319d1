#!/usr/bin/env bash
# Rebuilds the word seeds of fuzz_disassemble and fuzz_simulate from the
# source seeds of fuzz_assemble, the examples and the golden-case sources:
# every source that assembles becomes a file of its instruction words, 8
# little-endian bytes each.
# Usage: fuzz/make_word_seeds.sh path/to/vorelasm
set -euo pipefail
vorelasm=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

root=$(cd "$here/.." && pwd)
for source in "$here"/corpus/fuzz_assemble/*.s "$root"/examples/*.s "$root"/tests/assembler/cases/*.s; do
  name=$(basename "$source" .s)
  if (cd "$work" && "$vorelasm" -l q -o "$name" "$source" >/dev/null 2>&1) &&
    [ -s "$work/$name.hex" ]; then
    for target in fuzz_disassemble fuzz_simulate; do
      mkdir -p "$here/corpus/$target"
      # Each hex line is one big-endian word; the bytes are written reversed.
      while read -r word; do
        for i in 14 12 10 8 6 4 2 0; do printf "\\x${word:$i:2}"; done
      done <"$work/$name.hex" >"$here/corpus/$target/$name.words"
    done
  fi
done
