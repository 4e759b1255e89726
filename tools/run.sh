#!/usr/bin/env bash
# The program's main job, for a newcomer: builds uninstall.exe, stages a
# sample Quillmoor installation in a private, sealed Wine prefix (the
# installer's part: product folder, registry entry, configuration embedded
# into uninstall.exe) and starts the uninstaller from the product folder.
# With a display you use the window yourself; without one it runs under Xvfb
# and a screenshot of the relocated copy's window is written to
# build/demo/window.png, after which the window is cancelled.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
cd "$root"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target uninstall embed-config qmdriver >/dev/null

demo="$root/build/demo"
mkdir -p "$demo"
. "$root/tools/wine-sandbox.sh"
rm -f "$demo/prefix.ok"; rm -rf "$demo/prefix"   # a fresh product every run
qm_wine_prefix "$demo" win32
had_display=${DISPLAY:-}
qm_wine_display "$demo"
trap 'qm_wine_stop "$demo"' EXIT
qm_wine_warm

c="$WINEPREFIX/drive_c"
product="$c/Program Files/Quillmoor"
tools="$c/qmdemo"
mkdir -p "$tools" "$product/Skins" "$product/Plugins"
cp build/win32/embed-config.exe build/win32/qmdriver.exe "$tools/"
printf 'MZ sample player\n' >"$product/Quillmoor.exe"
printf 'sample skin\n' >"$product/Skins/Default.qsk"
printf 'sample plugin\n' >"$product/Plugins/Visualizer.dll"
printf 'Quillmoor media player\r\n' >"$product/Readme.txt"
cp build/win32/uninstall.exe "$product/uninstall.exe"
cp tools/sample/unin.ini "$tools/sample.ini"

cd "$tools"
wine embed-config.exe 'C:\Program Files\Quillmoor\uninstall.exe' 'C:\qmdemo\sample.ini'
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor'
wine reg add "$key" /v UninstallPath /d 'C:\Program Files\Quillmoor' /f >/dev/null
wine reg add "$key" /v DisplayName /d 'Quillmoor' /f >/dev/null

echo "Staged: C:\\Program Files\\Quillmoor ($(find "$product" -type f | wc -l) files) and $key"
cd "$product"
wine uninstall.exe >/dev/null 2>&1 &
if ! wine "C:\\qmdemo\\qmdriver.exe" wait QW_Setup.exe 30000; then
  echo "The relocated copy's window did not appear." >&2; exit 1
fi
echo "The copy in the temp folder is running: $(wine 'C:\qmdemo\qmdriver.exe' text QW_Setup.exe | tr -d '\r')"
if [ -z "$had_display" ]; then
  sleep 1
  xwd -root -display "$DISPLAY" -silent | convert xwd:- "$demo/window.png"
  echo "Screenshot: $demo/window.png"
  wine "C:\\qmdemo\\qmdriver.exe" click QW_Setup.exe 1003 >/dev/null   # Cancel
  wine "C:\\qmdemo\\qmdriver.exe" gone QW_Setup.exe 20000 || { echo "The window did not close." >&2; exit 1; }
  echo "Cancelled: nothing was removed."
else
  echo "Use the window; this command ends when it is closed."
  wineserver -w
fi
