#!/usr/bin/env bash
# The program's main job, for a newcomer: builds uninstall.exe, stages a
# sample Quillmoor installation in a private, sealed Wine prefix (the
# installer's part: product folder, registry entries, Start-menu group and
# shortcuts, configuration embedded into uninstall.exe) and starts the
# uninstaller from the product folder.
#  - With a display, you use the window; the report follows when it closes.
#  - Without one, it runs under Xvfb and takes pictures of the window into
#    build/demo: window-ru.png, window-uk.png, window-en.png, window-nl.png
#    and window-pl.png (each language), feedback.png (the feedback panel
#    open), then presses Delete: removing.png shows the removal with its bar
#    part-way. window-en.png also becomes docs/window-en.png, the README's.
# Either way it ends with a report of what was there and what is left.
#
# QM_BUILD_DIR names a build (win32, or win64 where 32-bit programs cannot
# run) to take the programs from instead of
# building one, and QM_DEMO_DIR another folder for the prefix and the
# pictures (the test of this command uses both; docs/ is then left alone).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
cd "$root"
. "$root/tools/wine-sandbox.sh"
read -r preset arch < <(qm_wine_build)
build=${QM_BUILD_DIR:-$root/build/$preset}
if [ -z "${QM_BUILD_DIR:-}" ]; then
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target uninstall embed-config qmdriver >/dev/null
fi

demo=${QM_DEMO_DIR:-$root/build/demo}
mkdir -p "$demo"
rm -f "$demo/prefix.ok"; rm -rf "$demo/prefix"   # a fresh machine every run
qm_wine_prefix "$demo" "$arch"
had_display=${DISPLAY:-}
qm_wine_display "$demo"
trap 'qm_wine_stop "$demo"' EXIT
qm_wine_warm

c="$WINEPREFIX/drive_c"
tools="$c/qmdemo"
mkdir -p "$tools"
cp "$build/embed-config.exe" "$build/qmdriver.exe" "$tools/"
cp tools/sample/unin.ini "$tools/sample.ini"
cd "$tools"
drv() { wine 'C:\qmdemo\qmdriver.exe' "$@"; }
unix_path() { local w=${1#[Cc]:}; echo "$c${w//\\//}"; }   # a C: path inside the prefix

# --- The installer's part -----------------------------------------------------
product="$c/Program Files/Quillmoor"
mkdir -p "$product/Skins/Dark" "$product/Plugins"
printf 'MZ sample player\n' >"$product/Quillmoor.exe"
printf 'sample skin\n' >"$product/Skins/Default.qsk"
printf 'dark skin\n' >"$product/Skins/Dark/Dark.qsk"
printf 'sample plugin\n' >"$product/Plugins/Visualizer.dll"
printf 'Quillmoor media player\r\n' >"$product/Readme.txt"
# A media library large enough that the removal's progress bar is seen
# part-way: 60 albums of 150 tracks.
for a in $(seq -w 1 60); do
  mkdir -p "$product/Library/Album $a"
  for t in $(seq -w 1 150); do : >"$product/Library/Album $a/Track $t.qmf"; done
done
cp "$build/uninstall.exe" "$product/uninstall.exe"
wine embed-config.exe 'C:\Program Files\Quillmoor\uninstall.exe' 'C:\qmdemo\sample.ini' >/dev/null

uninst='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
keys=("HKCR\\QWV4.AVI\\shell\\open\\command" "HKCR\\KX2.MP3" "HKCU\\Software\\Classes\\QWV4_Shared"
      "HKCU\\Software\\Classes\\Directory\\shell\\QW_Enqueue" "HKLM\\SOFTWARE\\Clients\\Media\\Quillmoor v45up"
      "$uninst\\Quillmoor")
for k in "${keys[@]}"; do wine reg add "$k" /f >/dev/null 2>&1; done
wine reg add "$uninst\\Quillmoor" /v UninstallPath /d 'C:\Program Files\Quillmoor' /f >/dev/null
wine reg add "$uninst\\Quillmoor" /v DisplayName /d Quillmoor /f >/dev/null
wine reg add "$uninst\\Another Program" /v DisplayName /d 'Another Program' /f >/dev/null

sf='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
appdata=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
profile=$(wine cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')
wine reg add "$sf" /v Programs /d "$appdata\\Microsoft\\Windows\\Start Menu\\Programs" /f >/dev/null
wine reg add "$sf" /v Desktop /d "$profile\\Desktop" /f >/dev/null
wine reg add "$sf" /v SendTo /d "$appdata\\Microsoft\\Windows\\SendTo" /f >/dev/null
programs=$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs")
desktop=$(unix_path "$profile\\Desktop")
sendto=$(unix_path "$appdata\\Microsoft\\Windows\\SendTo")
mkdir -p "$programs/Quillmoor" "$desktop" "$sendto"
shortcuts=("$programs/Quillmoor/Quillmoor.lnk" "$programs/Quillmoor/Uninstall Quillmoor.lnk"
           "$desktop/Quillmoor.lnk" "$sendto/Quillmoor playlist")
for s in "${shortcuts[@]}"; do printf 'shortcut\n' >"$s"; done
printf 'shortcut\n' >"$desktop/Another Program.lnk"

temp=$(unix_path "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")
report() {
  local n=0 k s
  echo "  product folder C:\\Program Files\\Quillmoor: $(find "$product" -type f 2>/dev/null | wc -l) files"
  for k in "${keys[@]}"; do wine reg query "$k" >/dev/null 2>&1 && n=$((n + 1)); done
  echo "  product registry keys: $n of ${#keys[@]}"
  n=0; for s in "${shortcuts[@]}"; do [ -e "$s" ] && { n=$((n + 1)); echo "    present: C:${s#$c}"; }; done
  echo "  Start-menu group, desktop and SendTo shortcuts: $n of ${#shortcuts[@]}"
  echo "  another program's entry and shortcut: $(wine reg query "$uninst\\Another Program" >/dev/null 2>&1 && echo kept || echo GONE), $([ -e "$desktop/Another Program.lnk" ] && echo kept || echo GONE)"
  echo "  in the temp folder: $(cd "$temp" && ls -d QW_Setup.exe unin.ini '$$QW_DEL.bat' 2>/dev/null | tr '\n' ' ')"
}
echo "Before:"; report

# --- The uninstaller ------------------------------------------------------------
# Started as the installer's shortcut starts it, with the product folder as its
# location and its current folder; this script stays where it is, in a folder
# that remains (a shell whose folder the removal deletes complains at every
# command it starts: "getcwd() failed").
(cd "$product" && exec wine uninstall.exe >/dev/null 2>&1) &
drv wait QW_Setup.exe 30000 || { echo "The relocated copy's window did not appear." >&2; exit 1; }
echo "The copy in the temp folder shows: $(drv text QW_Setup.exe | tr -d '\r')"
if [ -z "$had_display" ]; then
  sleep 1
  # The window as it stands on the screen, title bar and frame included.
  read -r wl wt wr wb cx cy < <(drv rect QW_Setup.exe | tr -d '\r')
  crop="$((wr - wl))x$((wb - wt))+$wl+$wt"
  shot() { xwd -root -display "$DISPLAY" -silent | convert xwd:- -crop "$crop" +repage "$1"; }
  # Each language name, clicked at its design place on the logo panel.
  langs=(ru uk en nl pl) rows=(24 45 66 88 111)
  for i in 0 1 2 3 4; do
    drv panel-click QW_Setup.exe 460 "${rows[$i]}" >/dev/null
    sleep 0.5
    shot "$demo/window-${langs[$i]}.png"
  done
  # English again, and the invitation's link opens the feedback panel.
  drv panel-click QW_Setup.exe 460 66 >/dev/null
  drv mouse-click QW_Setup.exe 1005 8 10 >/dev/null
  drv type QW_Setup.exe 1008 'listener@example.org' >/dev/null
  drv type QW_Setup.exe 1007 'Thank you for the player. I am moving to another computer.' >/dev/null
  sleep 0.5
  shot "$demo/feedback.png"
  drv mouse-click QW_Setup.exe 1005 8 10 >/dev/null   # closed again: Delete without feedback
  sleep 0.5
  rm -f "$demo"/frame-*.png
  drv click QW_Setup.exe 1002 >/dev/null   # Delete
  # Pictures while it works; the one with the bar nearest half-way is kept.
  n=0
  while [ $n -lt 200 ] && ! drv gone QW_Setup.exe 10 >/dev/null 2>&1; do
    n=$((n + 1)); shot "$demo/frame-$(printf %03d $n).png" 2>/dev/null || true
  done
  drv gone QW_Setup.exe 60000 || { echo "The uninstaller did not finish." >&2; exit 1; }
  /usr/bin/python3 "$root/tools/pictures.py" pick-progress "$demo/removing.png" \
    $((cx - wl + 8)) $((cy - wt + 260)) $((cx - wl + 521)) $((cy - wt + 285)) "$demo"/frame-*.png || true
  [ -n "${QM_KEEP_FRAMES:-}" ] || rm -f "$demo"/frame-*.png
  for i in $(seq 100); do
    [ -e "$temp/QW_Setup.exe" ] || [ -e "$temp/\$\$QW_DEL.bat" ] || break; sleep 0.2
  done
  if [ -z "${QM_DEMO_DIR:-}" ]; then mkdir -p "$root/docs"; cp "$demo/window-en.png" "$root/docs/window-en.png"; fi
  echo "Pictures: $demo/window-{ru,uk,en,nl,pl}.png, feedback.png, removing.png"
else
  echo "Use the window; the report follows when it closes."
  wineserver -w
fi
echo "After:"; report
