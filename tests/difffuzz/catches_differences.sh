#!/usr/bin/env bash
# The fuzzer's comparison must notice an engine that differs: here a stand-in for the fast tier
# that runs quib and then changes the exit status, standard output or standard error, each for
# some programs. Every kind of difference must be reported, kept, and make the run fail.
set -u
quib=$(realpath "$1") generator=$(realpath "$2")
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

# With --graphs it must also notice a result built with less sharing: a stand-in that runs the
# program with its two equal functions made apart. Status, output and report stay the same, so only
# the graph comparison can tell, and without --graphs the run passes.
printf '%s\n' 'a\(g{(x\y\x) 5}(V g g))' >"$work/shared.quib"
printf '%s\n' 'a\(V ((x\y\x) 5) ((x\y\x) 5))' >"$work/apart.quib"
cat >"$work/generate_shared" <<GENERATOR
#!/usr/bin/env bash
for ((i = 0; i < \$2; i++)); do cp "$work/shared.quib" "\$3/\$((\$1 + i)).quib"; done
GENERATOR
cat >"$work/unsharing_quib" <<WRAPPER
#!/usr/bin/env bash
exec "$quib" "$work/apart.quib"
WRAPPER
chmod +x "$work/generate_shared" "$work/unsharing_quib"
sharing_run() {  # KEEP [OPTIONS...]
  local kept=$1
  shift
  bash "$here/run.sh" --quib "$quib" --fast-quib "$work/unsharing_quib" --generator "$work/generate_shared" \
    --programs 2 --keep "$kept" "$@" >"$work/sharing_report" 2>&1
}
sharing_run "$work/kept_plain" || { echo "without --graphs, a difference in sharing alone should pass"; fail=1; }
sharing_run "$work/kept_graphs" --graphs
status=$?
[ $status = 1 ] || { echo "with --graphs, the sharing run should fail with status 1, not $status"; fail=1; }
for dir in "$work"/kept_graphs/*/; do
  [ "$(<"$dir/reason")" = "graph differs" ] || { echo "$dir: reason $(<"$dir/reason"), not only the graph"; fail=1; }
  for file in exact.graph fast.graph; do [ -f "$dir/$file" ] || { echo "missing $dir$file"; fail=1; }; done
done
[ -d "$work/kept_graphs" ] || { echo "no sharing difference kept"; fail=1; }
[ $fail = 0 ] || cat "$work/sharing_report"
exit $fail
