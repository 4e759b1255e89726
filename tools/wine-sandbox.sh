# Sourced by the test and demo scripts: a private Wine prefix that cannot
# reach this machine's files.
#
#   qm_wine_env DIR [win32|win64]   exports WINEPREFIX=DIR/prefix, HOME=DIR/home
#   qm_wine_prefix DIR [arch]       creates the prefix once, then seals it
#   qm_wine_display DIR             uses $DISPLAY, or starts Xvfb and records it
#   qm_wine_stop DIR                ends the wineserver and our Xvfb
#
# Sealing: Wine links the prefix's Desktop, Documents... to $HOME (ours lives
# inside DIR) and maps Z: to "/". Every link under drive_c/users/*/ becomes a
# real folder and dosdevices/z: goes, so a program that deletes in this prefix
# reaches only drive_c.

# True when this machine runs 32-bit programs. Some kernels refuse them
# ("Exec format error" from Wine's 32-bit loader): there only 64-bit Windows
# programs run, in a 64-bit prefix (tools/test.sh then tests the x86_64 build).
qm_wine_runs_32bit() { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }

# Where 32-bit programs cannot run, "wine" and "wineboot" still choose Wine's
# 32-bit loader whenever it is installed: commands of the same names in
# DIR/bin take the 64-bit loader instead.
qm_wine_loader_shims() {
  local dir=$1
  mkdir -p "$dir/bin"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$dir/bin/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot.exe "$@"\n' >"$dir/bin/wineboot"
  chmod +x "$dir/bin/wine" "$dir/bin/wineboot"
  case ":$PATH:" in *":$dir/bin:"*) ;; *) export PATH="$dir/bin:$PATH" ;; esac
  export WINELOADER=/usr/lib/wine/wine64
}

qm_wine_env() {
  local dir=$1 arch=${2:-win32}
  if [ "$arch" = win64 ] && ! qm_wine_runs_32bit; then qm_wine_loader_shims "$dir"; fi
  export WINEPREFIX="$dir/prefix" HOME="$dir/home" WINEARCH="$arch"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export XDG_CONFIG_HOME="$dir/home/.config" XDG_DATA_HOME="$dir/home/.local/share"
  export XDG_CACHE_HOME="$dir/home/.cache"
  mkdir -p "$HOME"
}

qm_wine_seal() {
  local p=$WINEPREFIX l
  # Only C: stays: Z: is "/", and the serial ports are this machine's devices.
  for l in "$p"/dosdevices/*; do
    [ "$(basename "$l")" = "c:" ] || rm -f "$l"
  done
  # The user's shell folders (Desktop, Documents, Templates...) link to $HOME.
  find "$p/drive_c/users" -type l -print0 | while IFS= read -r -d '' l; do
    rm -f "$l"; mkdir -p "$l"
  done
  # Anything still linking out of the prefix is a fault: refuse to go on.
  # (Wine adds com1 -> /dev/ttyS0 again at each start: a device, not files.)
  local out
  out=$(find "$p" -type l -lname '/*' ! -lname "$p/*" ! -lname '/dev/*' 2>/dev/null)
  if [ -n "$out" ]; then
    echo "wine-sandbox: $p still links outside itself:" >&2
    echo "$out" >&2
    return 1
  fi
  [ ! -e "$p/dosdevices/z:" ]
}

# Windows' fonts in the prefix: Wine's own (package fonts-wine: Tahoma,
# Marlett for the title-bar buttons, MS Sans Serif...) copied into
# C:\windows\Fonts, where Wine always looks (its data folder for fonts is not
# found by every Wine loader here); and the fonts Wine has no copy of drawn
# with free ones of the same metrics: Liberation Sans has Arial's widths;
# DejaVu Sans, a Bitstream Vera, is the closest free face to Verdana (both
# wide humanist sans with a tall x-height).
qm_wine_fonts() {
  local key='HKCU\Software\Wine\Fonts\Replacements' fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp -f /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || echo "wine-sandbox: no Wine fonts (fonts-wine)" >&2
  wine reg add "$key" /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
  wine reg add "$key" /v Verdana /d 'DejaVu Sans' /f >/dev/null 2>&1
}

qm_wine_prefix() {
  local dir=$1 arch=${2:-win32}
  qm_wine_env "$dir" "$arch"
  # The stamp names the architecture and the version of this set-up; a
  # prefix made otherwise is made anew.
  local stamp="$arch unmanaged fonts 2"
  if [ "$(cat "$dir/prefix.ok" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-sandbox: wineboot made no prefix" >&2; return 1; }
    # Without a window manager, Wine waits two seconds in every DestroyWindow
    # of a visible managed window; unmanaged windows close at once.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    qm_wine_fonts
    wineserver -w
    echo "$stamp" >"$dir/prefix.ok"
  fi
  qm_wine_seal
}

qm_wine_display() {
  local dir=$1 n
  if [ -n "${DISPLAY:-}" ] && [ ! -f "$dir/xvfb.pid" ]; then return 0; fi
  if [ -f "$dir/xvfb.pid" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
    export DISPLAY=$(cat "$dir/xvfb.display"); return 0
  fi
  command -v Xvfb >/dev/null || { echo "wine-sandbox: Xvfb missing" >&2; return 1; }
  # Xvfb picks a free display itself and writes its number to fd 3, so two
  # prefixes set up at once never share (and then kill) one display.
  rm -f "$dir/xvfb.fd"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/xvfb.fd" >/dev/null 2>&1 &
  echo $! >"$dir/xvfb.pid"
  local i
  for i in $(seq 100); do [ -s "$dir/xvfb.fd" ] && break; sleep 0.1; done
  n=$(tr -dc 0-9 <"$dir/xvfb.fd" 2>/dev/null)
  if [ -n "$n" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
    echo ":$n" >"$dir/xvfb.display"; export DISPLAY=":$n"; return 0
  fi
  echo "wine-sandbox: could not start Xvfb" >&2; return 1
}

qm_wine_stop() {
  local dir=$1
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$dir/xvfb.pid" "$dir/xvfb.display"
  fi
}

# Keeps the wineserver alive between the programs of one run; its services
# must not hold our stdout, or a pipe reading us never ends.
qm_wine_warm() {
  wineserver -p >/dev/null 2>&1 || true  # exits 2 when one already runs
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# The build whose programs run under Wine here, and its prefix architecture:
# the shipped i686 build ("win32 win32"), or, on a machine that cannot run
# 32-bit programs, the same sources for x86_64 ("win64 win64").
qm_wine_build() { if qm_wine_runs_32bit; then echo "win32 win32"; else echo "win64 win64"; fi; }
