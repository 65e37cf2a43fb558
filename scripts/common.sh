# Shared by the scripts: paths, package set-up, the virtual display and Wine.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${KESTRAVO_BUILD_DIR:-$ROOT/build}
BUILD64_DIR=${KESTRAVO_BUILD64_DIR:-$ROOT/build64}
NATIVE_BUILD_DIR=${KESTRAVO_NATIVE_BUILD_DIR:-$ROOT/build-native}
export WINEPREFIX=${KESTRAVO_WINEPREFIX:-$ROOT/.wine-prefix}
export WINEDEBUG=-all
export WINEARCH=win32
# The 64-bit build runs in a 64-bit prefix of its own (see in_prefix64).
WINEPREFIX64=${KESTRAVO_WINEPREFIX64:-$ROOT/.wine-prefix64}

PACKAGES=(cmake g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine32 wine64
          xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei fonts-wine locales python3)

log() { printf '== %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs whatever of the package set is missing (Debian 12).
ensure_packages() {
  local missing=()
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing=("${PACKAGES[@]}")
  else
    local p
    for p in "${PACKAGES[@]}"; do
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
  # Chinese glyphs in Wine's windows need a Chinese locale.
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    log "generating the zh_CN.UTF-8 locale"
    as_root sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
  # English too: the window must read right under a non-Chinese locale.
  if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
    log "generating the en_US.UTF-8 locale"
    as_root sed -i 's/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
}

# The 64-bit tree: kestravo64.exe and its tests, which check their answers
# with the 32-bit tree's checker.
configure_windows64() {
  cmake -S "$ROOT" -B "$BUILD64_DIR" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-x86_64.cmake" \
    -DKESTRAVO_CHECKER="$BUILD_DIR/kestravo-check.exe" >/dev/null
}

build_windows64() {
  configure_windows64 || return
  cmake --build "$BUILD64_DIR" -j"$(nproc)" "$@"
}

# The 32-bit tree. Its checker holds the answers of kestravo64.exe too, so
# it builds that program in the 64-bit tree first.
build_windows() {
  configure_windows64 || return
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-i686.cmake" \
    -DKESTRAVO64_BUILD_DIR="$BUILD64_DIR" >/dev/null
  cmake --build "$BUILD_DIR" -j"$(nproc)" "$@"
}

build_native() {
  cmake -S "$ROOT" -B "$NATIVE_BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$NATIVE_BUILD_DIR" -j"$(nproc)" "$@"
}

XVFB_PID=
# Starts a virtual display of 1024 x 768 on a free display number.
start_xvfb() {
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  log "Xvfb did not come up on $DISPLAY"
  return 1
}

stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; fi
  XVFB_PID=
}

# Bumped whenever the prefix set-up below changes, so that an older prefix
# is brought up to date.
PREFIX_SETUP_VERSION=4

# Creates the project's own Wine prefix once, without crash dialogs, and
# keeps its wineserver up so every test process starts quickly.
start_wine() {
  # Processes of an earlier run would still be bound to an earlier display.
  wineserver -k 2>/dev/null || true
  local stamp="$WINEPREFIX/.kestravo-setup"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix $WINEPREFIX"
    # No .NET or HTML engine: their installers would wait for a click.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 </dev/null
  fi
  if [ "$(cat "$stamp" 2>/dev/null)" != "$PREFIX_SETUP_VERSION" ]; then
    log "setting up the Wine prefix: no crash dialog, Windows' fonts"
    setup_prefix
    echo "$PREFIX_SETUP_VERSION" >"$stamp"
  fi
  # The set-up's own server lingers for a few seconds, and a second server
  # cannot start on the prefix until it has gone.
  wineserver -w
  wineserver -p 60
  wine cmd /c exit </dev/null >/dev/null 2>&1
  hold_desktop
}

DESKTOP_HOLD_FD=
# Keeps a program on the default desktop until stop_wine. Wine's desktop
# process ends about a second after the last program leaves the desktop, and
# the next program to come starts it again as its own child: that child keeps
# the program's output open (ctest waits for it) until the desktop next
# empties, long after the program itself ended. Held from here, the desktop
# process outlives every test and inherits no test's output.
hold_desktop() {
  local fifo
  fifo=$(mktemp -u) && mkfifo "$fifo" || return 1
  # The pause waits for input that never comes; closing the fifo ends it.
  wine cmd /c pause <"$fifo" >/dev/null 2>&1 &
  exec {DESKTOP_HOLD_FD}>"$fifo"
  rm -f "$fifo"
}

# Sets the prefix up the way Windows is: caption buttons drawn with Marlett,
# and a Chinese font behind the UI fonts, so that Chinese texts read right
# under any locale instead of as boxes. Wine links its UI fonts to SimSun by
# family name, and rewrites those links whenever the code page changes, so
# SimSun is made to name Debian's Chinese font.
# Windows' classic look, without Wine's own theme: that theme opens its data
# afresh for every scroll bar it draws (measured: 5 to 10 ms a time under
# Xvfb), and the log box redraws its scroll bar with every line it takes.
setup_prefix() {
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  local reg="$WINEPREFIX/kestravo-setup.reg"
  cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"SimSun"="WenQuanYi Micro Hei"
"NSimSun"="WenQuanYi Micro Hei"
REG
  wine regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1
  rm -f "$reg"
}

stop_wine() {
  if [ -n "$DESKTOP_HOLD_FD" ]; then exec {DESKTOP_HOLD_FD}>&-; fi
  DESKTOP_HOLD_FD=
  wineserver -k 2>/dev/null || true
}

# Runs a command (a function of this file too) with the 64-bit prefix:
# in_prefix64 start_wine, in_prefix64 wine build64/kestravo64.exe.
in_prefix64() {
  WINEPREFIX="$WINEPREFIX64" WINEARCH=win64 "$@"
}
