#!/usr/bin/env bash
# vorlex.scr on today's Windows, under Wine: platform.sh manifest|dialog|monitors.
set -euo pipefail
S=$VORLEX_E2E_DIR/platform/${1:-}
KEY='HKLM\Software\Zelvoran\Vorlex Code Emulator'
# shellcheck source=../../scripts/lib/harness.sh
. "$(dirname "$0")/../../scripts/lib/harness.sh"
# shellcheck source=../../scripts/lib/xephyr.sh
. "$(dirname "$0")/../../scripts/lib/xephyr.sh"
trap harness_stop EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
is() { [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"; }
prefix() {  # a prefix of this case's own, the saver and the probe in it
  harness_reg_view "$VORLEX_SCR"
  harness_wine_prefix "$S/prefix"
  harness_wine_renderer gdi
  W=$WINEPREFIX/drive_c/windows
  cp "$VORLEX_SCR" "$VORLEX_ANI" "$W/"
  cp "$VORLEX_PROBE" "$WINEPREFIX/drive_c/vorlex_probe.exe"
  harness_reg add "$KEY" /v Resolution /d 1024x768 /f
}
probe() {  # through a file: Wine's daemons, started by any call, would hold a pipe open
  harness_out wine 'C:\vorlex_probe.exe' "$@"
}
saver() { harness_bg "$S/exit" wine 'C:\windows\vorlex.scr' "$@"; }
ends() { is "exit code ${2:-}" "$(harness_wait "$S/exit" 20 || echo none)" "$1"; }
shot() { import -display "$DISPLAY" -window root "$S/$1.png"; }
mean() { convert "$S/$1.png" -crop "$2" +repage -format '%[fx:mean]' info:; }  # NAME REGION: 0 black .. 1 white

# The manifest (resource 24, id 1) and the version record, as the module holds them.
case_manifest() {
  "${VORLEX_OBJDUMP%objdump}windres" -i "$VORLEX_SCR" -O rc | tr -d '\r' | python3 -c '
import codecs, re, sys, xml.etree.ElementTree as ET
rc = sys.stdin.read()
body = re.search(r"^1 24 .*?\nBEGIN\n(.*?)\nEND", rc, re.S | re.M).group(1)
lines = re.findall(r"^\s*\"(.*)\"", body, re.M)
text = "".join(codecs.decode(s.replace("\"\"", "\""), "unicode_escape") for s in lines)
root = ET.fromstring(text)
def all(tag):
    return [e for e in root.iter() if e.tag.endswith("}" + tag)]
got = {"controls": sorted((a.get("name"), a.get("version")) for a in all("assemblyIdentity")),
       "dpi": [e.text for e in all("dpiAware") + all("dpiAwareness")], "levels": len(all("requestedExecutionLevel")),
       "os": sorted(e.get("Id") for e in all("supportedOS")),
       "versions": re.findall(r"^ (?:FILE|PRODUCT)VERSION (.*)|\"(?:File|Product)Version\", \"(.*)\"", rc, re.M),
       "dialog": re.findall(r"Vorlex Code Emulator v(\d+)\.(\d+)\"", rc)}
want = {"controls": [("Microsoft.Windows.Common-Controls", "6.0.0.0")], "dpi": ["true", "PerMonitorV2"], "levels": 0,
        "os": sorted(["{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]),
        "versions": [("1, 12, 0, 0", "")] * 2 + [("", "1.12.0")] * 2, "dialog": [("1", "12")] * 2}
for k in want:
    if got[k] != want[k]:
        sys.exit(f"FAIL: {k}: got {got[k]}, expected {want[k]}")
' || fail "manifest or version record"
}

# Common Controls 6 in the module's context (Wine's says 5.81, from the version 6 assembly); the dialog laid out
# at the screen's DPI. Wine 8 makes every process aware of each monitor's DPI, manifest or not.
case_dialog() {
  harness_start_xvfb 24
  export DISPLAY=$HARNESS_DISPLAY
  prefix
  local c dpi d size=()
  c=$(probe controls 'C:\windows\vorlex.scr')
  [[ $c == *common-controls_6595b64144ccf1df_6.* ]] || fail "controls: $c"
  for dpi in 96 144; do
    harness_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f
    saver /c
    d=$(probe find 0 '#32770' 15000) || fail "no dialog at $dpi DPI"
    sleep 1
    shot "dialog-$dpi"
    c=$(probe dpi "$d")
    [[ $c == "awareness=2 size="* ]] || fail "at $dpi DPI: $c"
    size+=("${c#*size=}")
    probe post "$d" 0x10 0
    ends 0 "dialog at $dpi DPI"
  done
  # at 144 DPI half as large again, as its text is; an unaware process stays at the size it has at 96
  awk -v a="${size[0]}" -v b="${size[1]}" 'BEGIN {
    split(a, p, "x")
    split(b, q, "x")
    exit !(q[1] / p[1] > 1.35 && q[1] / p[1] < 1.65 && q[2] / p[2] > 1.35 && q[2] / p[2] < 1.65)
  }' || fail "sizes at 96 and 144 DPI: ${size[*]}"
}

# Two monitors: the second one black and topmost-covered while the saver runs, its input dismissing, nothing left.
case_monitors() {
  harness_start_xephyr 16 1024x768+0+0 800x600+1024+0
  export DISPLAY=$HARNESS_DISPLAY
  prefix
  local before c h
  before=$(probe mode)
  (probe host 400 300 60 1200 100 >/dev/null &)
  h=$(probe find 0 VorlexPreviewHost 10000) || fail "no window on the second monitor"
  sleep 0.5
  shot desktop
  awk -v m="$(mean desktop 800x600+1024+0)" 'BEGIN { exit !(m > 0.05) }' || fail "the window is not to be seen"
  xdotool mousemove 500 400
  saver /s
  for _ in $(seq 100); do
    grep -qF "[DrawVorlex] Thread created" "$W/vorlexcode_fs.log" 2>/dev/null && break
    sleep 0.1
  done
  sleep 1.5
  [ ! -s "$S/exit" ] || fail "the saver ended with $(cat "$S/exit")"
  c=$(probe find 0 VorlexMonitorCover 5000) || fail "no cover"
  shot covered
  [[ $(probe info "$c") =~ ^visible=1\ style=9[0-9a-f]{7}\ exstyle=([0-9a-f]{8}).*\ rect=1024,0,800x600$ ]] &&
    ((0x${BASH_REMATCH[1]} & 8)) || fail "cover: $(probe info "$c")"
  is "second monitor" "$(mean covered 800x600+1024+0)" 0
  is "window on top there" "$(probe at 1400 300)" "$c"
  # A display change with the same monitors, and a key's release over the cover, close nothing; a click there does.
  probe post "$(probe find 0 WindowsScreenSaverClass 0)" 0x7e 16 0x03000400
  probe post "$c" 0x101 0x41
  sleep 1
  ! grep -F "[STATE] WM_CLOSE detected" "$W/vorlexcode_fs.log" || fail "closed by a display change or a release"
  probe post "$c" 0x201 0
  ends 0 "after a click on the second monitor"
  ! probe find 0 VorlexMonitorCover 0 >/dev/null || fail "a cover is left"
  is "mode after" "$(probe mode)" "$before"
  probe post "$h" 0x10 0
}

mkdir -p "$S"
declare -F "case_${1:-}" >/dev/null || fail "usage: platform.sh manifest|dialog|monitors"
"case_$1"
echo "ok: $1"
