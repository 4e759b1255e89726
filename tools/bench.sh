#!/usr/bin/env bash
# The benchmark: speed and size of uninstall.exe under Wine, with the
# targets beside each figure. Nothing here is a test; it only measures.
#
#  1. Folder removal: TMainForm::DeleteFolder (window shown, the bar's range
#     set by a count that keeps its listings, as the plain Delete command
#     does) against a bare reference walk, against the same DeleteFolder with
#     the bar taken away and after a count that keeps nothing, on fresh trees
#     of 2,000 and 20,000 files (tests/bench/RemovalBench.cpp).
#  2. Start-up: from starting uninstall.exe in the product folder to the
#     window of its relocated copy (tests/bench/ProcessBench.cpp).
#  3. The size of uninstall.exe, and the peak working set of the relocated
#     copy while it removes a 2,000- and a 20,000-file product; with it, the
#     whole run from Delete pressed to the copy's end, against the bare walk
#     of an identical tree in the same run. Once more on 20,000 and 200,000
#     files named as a media library names them (40 characters): the peak
#     working set must not grow with the number of files.
#  4. The Delete command's steps besides its walks, one by one (RemovalBench
#     steps), and where one step of the progress bar goes.
#
# Each ratio is the median of the ratios of single rounds, whose modes run on
# trees made alike one after another: on this 2-core machine single figures
# vary by 20 % or more, and much of that is a slow stretch both sides share.
#
# Everything runs in a private, sealed Wine prefix under build/bench, on a
# private Xvfb display. QM_BENCH_BUILD names another build folder (default
# build/win32, or build/win64 where 32-bit programs
# cannot run); QM_BENCH_FULL=1 runs DeleteFolder on 20,000 files even when
# the 2,000-file runs predict that it would take minutes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh" >/dev/null
cd "$root"
. "$root/tools/wine-sandbox.sh"
read -r preset arch < <(qm_wine_build)
build=${QM_BENCH_BUILD:-build/$preset}
case $build in /*) ;; *) build="$root/$build" ;; esac
say() { printf '  %s\n' "$*" >&2; }

say "building in $build"
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" --target uninstall embed-config RemovalBench ProcessBench >/dev/null

bench="$root/build/bench"
mkdir -p "$bench"
say "preparing the Wine prefix $bench/prefix"
qm_wine_prefix "$bench" "$arch"
unset DISPLAY   # a private screen: the figures do not depend on a desktop
qm_wine_display "$bench"
trap 'qm_wine_stop "$bench"' EXIT
qm_wine_warm
export LC_ALL=C.UTF-8   # the window in English (language 1033)

c="$WINEPREFIX/drive_c"
bin="$c/qmbench"
product="$c/Program Files/Quillmoor"
rm -rf "$bin" "$product"
mkdir -p "$bin"
cp "$build/uninstall.exe" "$build/embed-config.exe" "$build/RemovalBench.exe" "$build/ProcessBench.exe" "$bin/"
cp tools/sample/unin.ini "$bin/sample.ini"
cd "$bin"
wine embed-config.exe 'C:\qmbench\uninstall.exe' 'C:\qmbench\sample.ini' >/dev/null
temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
temp="$c${temp#[Cc]:}"; temp=${temp//\\//}
log="$bench/results.txt"
: >"$log"

# The installer's part: the product folder (files made by the harness) with
# the configured uninstall.exe, and its registry entry.
stage() {
  local files=$1 namelen=${2:-0}
  rm -rf "$product"
  if [ "$files" -gt 0 ]; then
    wine RemovalBench.exe make 'C:\Program Files\Quillmoor' "$files" "$namelen"
  else
    mkdir -p "$product"; printf 'MZ sample player\n' >"$product/Quillmoor.exe"
  fi
  cp "$bin/uninstall.exe" "$product/uninstall.exe"
  wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor' \
    /v UninstallPath /d 'C:\Program Files\Quillmoor' /f >/dev/null 2>&1
}

# --- 3a. Size -------------------------------------------------------------------
echo "size $(stat -c %s "$build/uninstall.exe")" >>"$log"

# --- 2. Start-up ----------------------------------------------------------------
say "start-up: 1 + 7 runs"
stage 0
wine ProcessBench.exe startup 'C:\Program Files\Quillmoor' 7 | tr -d '\r' >>"$log"

# --- 1. Folder removal ------------------------------------------------------------
# Each mode runs until its runs have taken 30 s in all, and at least once.
say "folder removal: 2,000 files, 5 rounds"
wine RemovalBench.exe removal 'C:\qmbench\work' 2000 5 30 | tr -d '\r' >>"$log"
ours2k=$(awk '$1 == 2000 && $2 == "ours" { s += $3; n++ } END { print n ? s / n : 0 }' "$log")
modes=ours,live,nobar,busy,bare
if [ "${QM_BENCH_FULL:-0}" != 1 ] && awk -v t="$ours2k" 'BEGIN { exit !(t * 10 > 150) }'; then
  modes=live,nobar,busy,bare
  echo "20000 ours-skipped 1" >>"$log"
  say "folder removal: 20,000 files, 5 rounds (without DeleteFolder with the bar: over 150 s expected)"
else
  say "folder removal: 20,000 files, 5 rounds"
fi
wine RemovalBench.exe removal 'C:\qmbench\work' 20000 5 60 "$modes" | tr -d '\r' >>"$log"

# --- 3b. Peak working set of the real program -------------------------------------
# Three runs each, alternating with the bare walk of an identical tree; then
# one run each on 20,000 and 200,000 files with names of 40 characters
# (keys 20000n40, 200000n40).
whole() {
  local files=$1 namelen=$2 key=$3
  stage "$files" "$namelen"
  wine ProcessBench.exe memory 'C:\Program Files\Quillmoor' | tr -d '\r' | sed "s/^/$key /" >>"$log"
  for i in $(seq 600); do [ -e "$temp/QW_Setup.exe" ] || break; sleep 0.2; done
  echo "$key left $(find "$product" -type f 2>/dev/null | wc -l)" >>"$log"
  # The least a removal of the same tree must take, right after the run.
  wine RemovalBench.exe removal 'C:\qmbench\work' "$files" 1 0 bare "$namelen" | tr -d '\r' |
    awk -v key="$key" '$2 == "bare" { print key, "wholebare", $3 }' >>"$log"
}
for files in 2000 20000; do
  for run in 1 2 3; do
    say "whole run and peak working set: uninstall.exe removing $files files ($run of 3)"
    whole "$files" 0 "$files"
  done
done
for files in 20000 200000; do
  say "whole run and peak working set: uninstall.exe removing $files files named with 40 characters"
  whole "$files" 40 "${files}n40"
done
rm -rf "$product"

# --- Where a step of the bar goes ----------------------------------------------------
echo
echo "One step of the progress bar, taken apart (RemovalBench bar 20):"
wine RemovalBench.exe bar 20 | tr -d '\r' | sed 's/^/  /'

# --- The Delete command's other steps ----------------------------------------------
echo
echo "The Delete command's steps besides its walks, one run (RemovalBench steps):"
wine RemovalBench.exe steps 'C:\qmbench\steps' | tr -d '\r' |
  awk '{ printf "  %-24s %7.1f ms\n", $2, $3 * 1000 }'

# --- The table ------------------------------------------------------------------------
say "raw figures: $log"
awk '
function med(key,   n, i, j, v, t) {
  n = cnt[key]; if (!n) return ""
  for (i = 1; i <= n; i++) v[i] = val[key, i]
  for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
  return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}
# The median of the ratios a / b of each round (the i-th figure of a with
# the i-th of b: every round runs each mode once, on trees made alike), so
# that a slow stretch of the machine weighs on both sides of a ratio.
function pr(a, b,   n, i, k) {
  n = cnt[a] < cnt[b] ? cnt[a] : cnt[b]; if (!n) return ""
  k = a "/" b; cnt[k] = 0
  for (i = 1; i <= n; i++) if (val[b, i] > 0) { cnt[k]++; val[k, cnt[k]] = val[a, i] / val[b, i] }
  return med(k)
}
function secs(key,   m) {
  m = med(key); if (m == "") return "-"
  return sprintf(m < 10 ? "%.3f s (%d)" : "%.1f s (%d)", m, cnt[key])
}
function group(n,   s, neg) {
  s = sprintf("%d", n); neg = ""
  while (length(s) > 3) { neg = "," substr(s, length(s) - 2) neg; s = substr(s, 1, length(s) - 3) }
  return s neg
}
function mb(b) { return sprintf("%.1f MB", b / 1048576) }
function row(a, b, c, d, e,   s) {
  s = sprintf("%-47s %-15s %-15s %-12s %s", a, b, c, d, e); sub(/ +$/, "", s); print s
}
function verdict(ok) { return ok ? "OK" : "MISSED" }
{ key = ($1 ~ /^[0-9]+(n40)?$/) ? $1 " " $2 : $1; v = $NF; cnt[key]++; val[key, cnt[key]] = v }
END {
  line = "---------------------------------------------------------------------------------------------------"
  print ""
  print "Quillmoor uninstaller benchmark (Wine, Xvfb; medians, runs in brackets)"
  print line
  row("", "2,000 files", "20,000 files", "Target", "Result")
  print line
  print "Folder removal"
  row("  fresh tree, made by the harness (excluded)", secs("2000 make"), secs("20000 make"))
  row("  bare reference walk", secs("2000 bare"), secs("20000 bare"))
  skipped = ("20000 ours-skipped" in cnt)
  row("  DeleteFolder with the bar (ours)", secs("2000 ours"),
      skipped ? "not run (slow)" : secs("20000 ours"))
  row("  DeleteFolder, bar not stepped", secs("2000 nobar"), secs("20000 nobar"))
  row("  DeleteFolder taking messages (busy state)", secs("2000 busy"), secs("20000 busy"))
  row("  CountEntries before the walk (not in ours)", secs("2000 count"), secs("20000 count"))
  row("  DeleteFolder after a count that keeps nothing", secs("2000 live"), secs("20000 live"))
  ok = 1; cell2 = cell20 = "-"
  for (n = 2000; n <= 20000; n *= 10) {
    r = pr(n " ours", n " bare")
    if (r == "") continue
    if (r > (n == 2000 ? 1.10 : 1.05)) ok = 0
    if (n == 2000) cell2 = sprintf("%.2f", r); else cell20 = sprintf("%.2f", r)
  }
  row("  ratio ours / bare", cell2, cell20, "<= 1.10, 1.05", verdict(ok))
  ok = 1; cell2 = cell20 = "-"
  for (n = 2000; n <= 20000; n *= 10) {
    r = pr(n " count", n " bare")
    if (r == "") continue
    r *= 100; if (r > 15) ok = 0
    if (n == 2000) cell2 = sprintf("%.1f %%", r); else cell20 = sprintf("%.1f %%", r)
  }
  row("  count / bare", cell2, cell20, "<= 15 %", verdict(ok))
  cell2 = cell20 = "-"
  for (n = 2000; n <= 20000; n *= 10) {
    r = pr(n " live", n " bare")
    if (r == "") continue
    if (n == 2000) cell2 = sprintf("%.2f", r); else cell20 = sprintf("%.2f", r)
  }
  row("  ratio live / bare", cell2, cell20)
  ok = 1; cell2 = cell20 = "-"
  for (n = 2000; n <= 20000; n *= 10) {
    r = pr(n " ours", n " nobar")
    if (r == "") continue
    r = (r - 1) * 100; if (r > 5) ok = 0
    if (n == 2000) cell2 = sprintf("%+.1f %%", r); else cell20 = sprintf("%+.1f %%", r)
  }
  row("  progress cost (ours / bar not stepped - 1)", cell2, cell20, "<= 5 %", verdict(ok))
  ok = 1; cell2 = cell20 = "-"
  for (n = 2000; n <= 20000; n *= 10) {
    r = pr(n " busy", n " ours")
    if (r == "") continue
    r = (r - 1) * 100; if (n == 20000 && r > 2) ok = 0
    if (n == 2000) cell2 = sprintf("%+.1f %%", r); else cell20 = sprintf("%+.1f %%", r)
  }
  row("  responsiveness cost (busy / ours - 1)", cell2, cell20, "<= 2 %", verdict(ok))
  c2 = pr("2000 nobar", "2000 bare"); c20 = pr("20000 nobar", "20000 bare")
  row("  walk without bar / bare", sprintf("%.2f", c2), sprintf("%.2f", c20))
  print "Start-up"
  row("  uninstall.exe started to the copy'"'"'s window", secs("startup"), "", "", "")
  print "Size and memory"
  size = med("size")
  row("  uninstall.exe", group(size) " bytes", "", "<= 358,400", verdict(size <= 358400))
  row("  peak working set of the copy, before Delete", mb(med("2000 ready")), mb(med("20000 ready")))
  p2 = med("2000 peak"); p20 = med("20000 peak")
  row("  peak working set of the copy, after removal", mb(p2), mb(p20), "<= +2 MB", verdict(p2 > 0 && p20 > 0 && p20 - p2 <= 2097152))
  row("  the copy: Delete pressed to process end", secs("2000 delete"), secs("20000 delete"))
  row("  bare walk of the same tree, same run", secs("2000 wholebare"), secs("20000 wholebare"))
  ok = 1; cell2 = cell20 = "-"
  for (n = 2000; n <= 20000; n *= 10) {
    r = pr(n " delete", n " wholebare")
    if (r == "") { ok = 0; continue }
    if (r > (n == 2000 ? 1.25 : 1.15)) ok = 0
    if (n == 2000) cell2 = sprintf("%.2f", r); else cell20 = sprintf("%.2f", r)
  }
  row("  ratio whole run / bare", cell2, cell20, "<= 1.25, 1.15", verdict(ok))
  row("  product files left behind", med("2000 left"), med("20000 left"))
  print "Many files, names of 40 characters (one run each)"
  row("", "20,000 files", "200,000 files")
  row("  the copy: Delete pressed to process end", secs("20000n40 delete"), secs("200000n40 delete"))
  row("  bare walk of the same tree, same run", secs("20000n40 wholebare"), secs("200000n40 wholebare"))
  r20 = pr("20000n40 delete", "20000n40 wholebare"); r200 = pr("200000n40 delete", "200000n40 wholebare")
  row("  ratio whole run / bare", r20 == "" ? "-" : sprintf("%.2f", r20), r200 == "" ? "-" : sprintf("%.2f", r200))
  p20 = med("20000n40 peak"); p200 = med("200000n40 peak")
  row("  peak working set of the copy, after removal", mb(p20), mb(p200), "<= +8 MB",
      verdict(p20 > 0 && p200 > 0 && p200 - p20 <= 8388608))
  row("  product files left behind", med("20000n40 left"), med("200000n40 left"))
  print line
}' "$log"
