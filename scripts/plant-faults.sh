#!/usr/bin/env bash
# Plants one fault at a time, rebuilds its preset, runs its tests and puts the file back byte for byte.
# A fault that stops the build is reported as such, not as caught: it tests the compiler, not the tests.
#
#   scripts/plant-faults.sh [LIST...]     default: every scripts/faults/*.txt
#
# A list: "@ NAME", then "file", "preset", "tests" (a ctest -R, optional), "old" and "new" lines; # comments.
# Logs: build/plant-faults/NAME.log. Exit 0 only when every fault applied and was caught.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- scripts/faults/*.txt
exec python3 - "$@" <<'PY'
import os, re, signal, subprocess, sys, time

def parse(path):
    faults = []
    for line in open(path, encoding="utf-8").read().splitlines():
        key, _, rest = line.partition(" ")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        if key == "@":
            faults.append({"name": rest.strip()})
        elif faults and key in ("old", "new"):
            faults[-1][key] = rest.lstrip(" ")
        elif faults and key in ("file", "preset", "tests"):
            faults[-1][key] = re.sub(r"\s+#.*", "", rest).strip()
        else:
            sys.exit(f"{path}: cannot read line: {line}")
    for f in faults:
        if not {"file", "preset", "old", "new"} <= f.keys():
            sys.exit(f"{path}: fault {f['name']} needs file, preset, old and new")
    return faults

def run(log, *cmd):
    with open(log, "a") as out:
        print("$", *cmd, file=out, flush=True)
        return subprocess.run(cmd, stdout=out, stderr=out, stdin=subprocess.DEVNULL).returncode

# The outcome and a note on it; "missed" when the tests pass.
def build_and_test(f, log):
    p = f["preset"]
    configured = os.path.isfile(f"build/{p}/CMakeCache.txt") or run(log, "cmake", "--preset", p) == 0
    if not configured or run(log, "cmake", "--build", "--preset", p, "-j2"):
        return "broke the build", "it does not compile or generate: no test saw it"
    start = os.path.getsize(log)
    if run(log, "ctest", "--preset", p, "-j2", "--timeout", "300", "--no-tests=error", "-R", f.get("tests", ".")) == 0:
        return "missed", "the tests pass"
    with open(log, errors="replace") as fh:
        fh.seek(start)
        failed = re.findall(r"^\s*\d+ - (\S+) \(", fh.read(), re.M)
    return "caught", "failing tests: " + ", ".join(failed) if failed else f"ctest failed naming no test: see {log}"

os.makedirs("build/plant-faults", exist_ok=True)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
faults = [f for path in sys.argv[1:] for f in parse(path)]
counts = dict.fromkeys(("caught", "missed", "broke the build", "not applied"), 0)
passing = set()
for f in faults:
    log = f"build/plant-faults/{re.sub(r'[^A-Za-z0-9_.-]', '_', f['name'])}.log"
    open(log, "w").close()
    key = (f["preset"], f.get("tests"))
    if key not in passing:  # the untouched tree must pass, or every fault would look caught
        if build_and_test(f, log)[0] != "missed":
            sys.exit(f"tests of preset {key[0]} ({key[1] or 'all'}) fail without a fault: see {log}")
        passing.add(key)
    original = open(f["file"], "rb").read() if os.path.isfile(f["file"]) else b""
    old = f["old"].encode()
    t0 = time.time()
    if original.count(old) != 1:
        outcome, note = "not applied", f"{f['file']}: 'old' found {original.count(old)} times"
    else:
        try:
            with open(f["file"], "wb") as fh:
                fh.write(original.replace(old, f["new"].encode(), 1))
            outcome, note = build_and_test(f, log)
        finally:  # also on Ctrl-C: the file goes back exactly, with a new time so it is rebuilt
            with open(f["file"], "wb") as fh:
                fh.write(original)
    counts[outcome] += 1
    print(f"{outcome.upper()}  {f['name']}  ({note})  [{time.time() - t0:.0f}s]", flush=True)
print("faults: " + ", ".join(f"{n} {what}" for what, n in counts.items()))
sys.exit(0 if counts["caught"] == len(faults) else 1)
PY
