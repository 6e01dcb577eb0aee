#!/usr/bin/env bash
# Builds a seed corpus for the fuzz targets: every end-to-end case and example program,
# plus a few small programs for corners those do not reach.
# Usage: build_corpus.sh repo_root corpus_dir
set -euo pipefail
root=$1
corpus=$2
mkdir -p "$corpus"
for f in "$root"/tests/e2e/*.quib "$root"/examples/*.quib; do
  [ -f "$f" ] || continue
  cp "$f" "$corpus/seed_$(basename "$f")"
done
seed() { printf '%s' "$2" > "$corpus/seed_$1"; }
seed answer 'K 42'
seed wing '{x 3}x+4'
seed pair_pattern '{(a b) (V 1 2)}a+b'
seed quote '\a `(f a),f\x\x'
seed list '\a rank [[a][b]c]'
seed text '\a rank(rows 0)'
seed numb '\a 00 + 001'
seed real '\a real 3'
seed layout '\a rank _'
seed cycle 'loop,loop\loop+1'
seed unshared '\a f(),f()\3'
seed call 'f(1,2),f\a\b\a'
# Commas in groups that are no plain call list: after a wing, after a parenthesised group,
# nested in parentheses, and a group whose head is a comma.
seed comma_after_wing 'y{2}(I,5)'
seed comma_after_group 'a\(K 3)(1,2)'
seed comma_nested '((a,0))'
seed comma_in_wing_body 'K(x{1}(x,2))'
seed comma_head 'a\x{(V,1,2)}x K'
# Shapes the fast tier compiles: counting and tail recursion, word arithmetic near its edges.
seed counting 'a\fa 6,fa\n\(n<1)1 (fa(n-1)*2)'
seed tail 'a\ga(5,9223372036854775800),ga\n\m\(n<1)m ga(n-1,m+1)'
