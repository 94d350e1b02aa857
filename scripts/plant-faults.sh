#!/usr/bin/env bash
# Plants one fault at a time into the work tree, rebuilds its preset, runs its tests and
# puts the file back byte for byte. A fault the tests do not notice is reported as MISSED; one
# that stops the build is reported as BROKE-BUILD (it tests the compiler, not the tests).
#
#   scripts/plant-faults.sh [LIST...]     default: every scripts/faults/*.txt
#
# Environment: PLANT_TIMEOUT (seconds per test, default 300), PLANT_RUN_TIMEOUT (seconds
# for a whole ctest run, default 1800; a run that overruns counts as failed). Output of
# each fault goes to build/plant-faults/NAME.log. Exit 0 only when every fault applied and was caught.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- scripts/faults/*.txt
if command -v ccache >/dev/null; then  # rebuilds after each fault go faster with it
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
fi
exec python3 - "$@" <<'PY'
import os, re, signal, subprocess, sys, time

def parse(path):
    faults, cur = [], None
    for raw in open(path, encoding="utf-8"):
        line = raw.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        m = re.match(r"(\S+)\s?(.*)", line)
        key, rest = m.group(1), m.group(2)
        if key == "@":
            cur = {"name": rest.strip(), "list": path}
            faults.append(cur)
            continue
        rest = rest.lstrip(" ") if key in ("old", "new") else re.sub(r"\s+#.*", "", rest).strip()
        if cur is None or key not in ("file", "preset", "tests", "old", "new"):
            sys.exit(f"{path}: cannot read line: {line}")
        cur[key] = rest
    for f in faults:
        missing = [k for k in ("file", "preset", "old", "new") if k not in f]
        if missing:
            sys.exit(f"{f['list']}: fault {f['name']} lacks {', '.join(missing)}")
    return faults

def run(cmd, log, timeout=None):
    with open(log, "a") as out:
        out.write("$ " + " ".join(cmd) + "\n")
        out.flush()
        try:
            return subprocess.run(cmd, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return 124

def build_and_test(f, log):
    preset = f["preset"]
    if not os.path.isfile(f"build/{preset}/CMakeCache.txt") and run(["cmake", "--preset", preset], log):
        return "build-failed", []
    if run(["cmake", "--build", "--preset", preset, "-j2"], log):
        return "build-failed", []
    start = os.path.getsize(log)
    cmd = ["ctest", "--preset", preset, "-j2", "--timeout", os.environ.get("PLANT_TIMEOUT", "300"), "--no-tests=error"]
    if f.get("tests"):
        cmd += ["-R", f["tests"]]
    rc = run(cmd, log, timeout=int(os.environ.get("PLANT_RUN_TIMEOUT", "1800")))
    with open(log, errors="replace") as fh:
        fh.seek(start)
        text = fh.read()
    if rc == 0:
        return "passed", []
    failed = re.findall(r"^\[  FAILED  \] (\w+[./]\S+)", text, re.M)
    failed += re.findall(r"^\s*\d+ - (\S+) \(", text, re.M)
    return ("failed" if failed else "error"), list(dict.fromkeys(failed))

faults = [f for path in sys.argv[1:] for f in parse(path)]
os.makedirs("build/plant-faults", exist_ok=True)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
counts = {"caught": 0, "missed": 0, "broke the build": 0, "not applied": 0}
baseline = {}
for f in faults:
    name, path = f["name"], f["file"]
    log = f"build/plant-faults/{re.sub(r'[^A-Za-z0-9_.-]', '_', name)}.log"
    open(log, "w").close()
    key = (f["preset"], f.get("tests"))
    if key not in baseline:  # the untouched tree must pass, or every fault would look caught
        baseline[key] = build_and_test(f, log)[0]
        if baseline[key] != "passed":
            sys.exit(f"tests of preset {key[0]} ({key[1] or 'all'}) fail without a fault: see {log}")
    original = open(path, "rb").read() if os.path.isfile(path) else b""
    old, new = f["old"].encode(), f["new"].encode()
    if original.count(old) != 1:
        print(f"not-applied {name}  ({path}: 'old' found {original.count(old)} times)", flush=True)
        counts["not applied"] += 1
        continue
    t0 = time.time()
    try:
        with open(path, "wb") as fh:
            fh.write(original.replace(old, new, 1))
        outcome, failed = build_and_test(f, log)
    finally:  # also on Ctrl-C: the file goes back exactly, with a new time so it is rebuilt
        with open(path, "wb") as fh:
            fh.write(original)
    secs = f"[{time.time() - t0:.0f}s]"
    if outcome == "passed":
        print(f"MISSED  {name}  {secs}", flush=True)
        counts["missed"] += 1
        continue
    if outcome == "build-failed":
        print(f"BROKE-BUILD  {name}  (it does not compile or generate: no test saw it)  {secs}", flush=True)
        counts["broke the build"] += 1
        continue
    counts["caught"] += 1
    if outcome == "error":
        print(f"caught  {name}  (ctest failed without naming a test: see {log})  {secs}", flush=True)
    else:
        print(f"caught  {name}  (failing tests: {', '.join(failed)})  {secs}", flush=True)
print("faults: " + ", ".join(f"{n} {what}" for what, n in counts.items()))
sys.exit(0 if counts["caught"] == len(faults) else 1)
PY
