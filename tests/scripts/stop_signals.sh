#!/usr/bin/env bash
# SIGINT, SIGTERM and SIGHUP stop a run that does not end: what it wrote reaches its file or
# pipe, under both engines, also while it waits for input, and the process ends by the signal.
# A diagnosing run shows its load warnings before the run's output and, when cut short by a
# signal or the step limit, the definitions entered last; without diagnosing quib adds nothing.
# Each program writes a byte to a pipe once it has printed, so the signal is sent only then.
set -u
quib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

python3 - "$quib" <<'PY'
import os, select, signal, subprocess, sys, time

quib = sys.argv[1]
GUARD = 60  # seconds; only catches a run that does not stop
failures = []

# The first argument is the descriptor to write the byte to; the loop writes it once it is
# running, so that the trail has its definition.
loop = r"a\x{puts(init[before])}go(atoi(getw(a+16)),1),go\f\n\y{(n=2)(write(f,init[r],1))0}go(f,n+1)"
waits = r"a\x{puts(init[before])}y{write(atoi(getw(a+16)),init[r],1)}z{getchar}7"
# A loop the fast tier compiles whole: it sees the signal only where it polls for it.
compiled = r"a\x{puts(init[before])}y{write(atoi(getw(a+16)),init[r],1)}go 1,go\n\go(n+1)"
warned_loop = loop + r",Not a definition but a \ inside."

def write(name, text):
    with open(name, "w") as f:
        f.write(text)

def start(program, environment, stdout, stderr):
    """Starts quib on program with the stop signals at their default, as a shell's foreground
    command has them, and returns it once the program has printed."""
    ready_read, ready_write = os.pipe()
    keep_stdin_read, keep_stdin_write = os.pipe()  # input that never comes
    def child():
        for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(s, signal.SIG_DFL)
    env = {k: v for k, v in os.environ.items() if not k.startswith("QUIB_")}
    env.update(environment)
    run = subprocess.Popen([quib, program, str(ready_write)], stdin=keep_stdin_read, stdout=stdout, stderr=stderr,
                           env=env, pass_fds=(ready_write,), preexec_fn=child)
    os.close(ready_write)
    os.close(keep_stdin_read)
    ready = select.select([ready_read], [], [], GUARD)[0] and os.read(ready_read, 1)
    os.close(ready_read)
    return run, ready, keep_stdin_write

def reading(pid):
    """Whether a thread of the process waits in read(2) (system call 0 on x86-64)."""
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/syscall") as f:
                if f.read().split()[0] == "0":
                    return True
        except (OSError, IndexError):
            pass
    return False

def stopped(program, environment, number, stdout, stderr, waits_for_input=False):
    """Runs program, sends the signal once it has printed (and, when it waits for input, once it
    does); returns (status, stdout, stderr)."""
    run, ready, keep = start(program, environment, stdout, stderr)
    guard = time.monotonic() + GUARD
    while ready and waits_for_input and not reading(run.pid) and time.monotonic() < guard:
        time.sleep(0.01)
    if not ready:
        run.kill()
        run.communicate()
        os.close(keep)
        return "never printed", b"", b""
    run.send_signal(number)
    try:
        out, err = run.communicate(timeout=GUARD)
    except subprocess.TimeoutExpired:
        run.kill()
        run.communicate()
        out, err = b"", b"did not stop"
    os.close(keep)
    return run.returncode, out, err

# Every signal, engine and destination: the output is kept and the process ends by the signal.
for name, text in (("loop", loop), ("waits", waits), ("compiled", compiled)):
    write(name + ".quib", text)
    for engine in ("exact", "fast"):
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            for destination in ("file", "pipe"):
                out_file = open("out", "wb") if destination == "file" else None
                status, out, err = stopped(name + ".quib", {"QUIB_ENGINE": engine}, number,
                                           out_file or subprocess.PIPE, subprocess.PIPE, name == "waits")
                if out_file:
                    out_file.close()
                    out = open("out", "rb").read()
                if status != -number or out != b"before\n" or err != b"":
                    failures.append(f"{name}, {engine}, {signal.Signals(number).name}, {destination}: "
                                    f"status {status}, stdout {out!r}, stderr {err!r}")

# Diagnosing, both streams in one file: the warning before the run's output, then the trail.
write("p.quib", warned_loop)
warning = b"quib: p.quib:1:93: warning: this piece is not a definition but holds a backslash\n"
trail = b"quib: the definitions entered last, the latest first:\nquib: p.quib:1:47: go\n"

def follows(text, head):
    """text is head followed only by lines of quib's own."""
    rest = text[len(head):]
    return text.startswith(head) and all(line.startswith(b"quib: ") for line in rest.splitlines())

for environment, head, exact in (
        ({"QUIB_DIAGNOSE": "1"}, warning + b"before\nquib: stopped by SIGINT\n" + trail, False),
        ({}, b"before\n", True)):
    with open("both", "wb") as both:
        status, _, _ = stopped("p.quib", environment, signal.SIGINT, both, both)
    text = open("both", "rb").read()
    if status != -signal.SIGINT or not (text == head if exact else follows(text, head)):
        failures.append(f"{environment or 'not diagnosing'}, SIGINT: status {status}, output {text!r}")

# The step limit while diagnosing: its line, then the same trail.
run = subprocess.run([quib, "p.quib", "-1"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                     env=dict(os.environ, QUIB_DIAGNOSE="1", QUIB_STEP_LIMIT="1000"),
                     pass_fds=(), timeout=GUARD)
if run.returncode != 125 or run.stdout != b"before\n" or \
        not follows(run.stderr, warning + b"quib: step limit 1000 reached\n" + trail):
    failures.append(f"step limit, diagnosing: status {run.returncode}, stdout {run.stdout!r}, stderr {run.stderr!r}")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PY
