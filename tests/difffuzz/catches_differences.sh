#!/usr/bin/env bash
# The fuzzer's comparison must notice an engine that differs: here a stand-in for the fast tier
# that runs quib and then changes the exit status, standard output or standard error, each for
# some programs. Every kind of difference must be reported, kept, and make the run fail.
set -u
quib=$1 generator=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/perturbed_quib" <<WRAPPER
#!/usr/bin/env bash
"$quib" "\$@" >"$work/out" 2>"$work/err"
status=\$?
case \$((\$(cksum <"\$1" | cut -d' ' -f1) % 3)) in
  0) [ \$status = 128 ] || status=\$(((status + 1) % 256)) ;;
  1) printf x >>"$work/out" ;;
  2) printf x >>"$work/err" ;;
esac
cat "$work/out"; cat "$work/err" >&2
exit \$status
WRAPPER
chmod +x "$work/perturbed_quib"

bash "$here/run.sh" --quib "$quib" --fast-quib "$work/perturbed_quib" --generator "$generator" \
  --programs 30 --seed 1 --step-limit 50000 --keep "$work/kept" >"$work/report" 2>&1
status=$?
fail=0
[ $status = 1 ] || { echo "the run should fail with status 1, not $status"; fail=1; }
for kind in status out err; do
  grep -qs "$kind differs" "$work"/kept/*/reason || { echo "no kept difference of $kind"; fail=1; }
done
for dir in "$work"/kept/*/; do
  for file in program.quib exact.out exact.err exact.status fast.out fast.err fast.status reason; do
    [ -f "$dir/$file" ] || { echo "missing $dir$file"; fail=1; }
  done
done
grep -q '^differences: *[1-9]' "$work/report" || { echo "the summary shows no differences"; fail=1; }
[ $fail = 0 ] || cat "$work/report"
exit $fail
