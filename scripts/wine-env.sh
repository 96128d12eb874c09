# shellcheck shell=bash
# Sourced by the scripts that run Windows programs: a throwaway Wine prefix,
# no display, no prompts to install Mono or Gecko, no debug chatter.
export WINEPREFIX="${QZ_WINEPREFIX:-${TMPDIR:-/tmp}/qz-lasso-wine-$(id -u)}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
fi
