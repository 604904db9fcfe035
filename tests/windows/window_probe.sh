# Shared by the Windows window tests (sourced): paths as wine names them, and the probe that drives a
# fresh start of Vorlane16.exe.
#   fresh_wine_server                ends the prefix's wine server: one started before the test's display
#                                    (by programs run without one) keeps its desktop there, and windows
#                                    opened through it never show
#   windows_path UNIX-PATH           the same file as a Windows path on drive Z:
#   drive PROBE.EXE FOLDER STEP...   starts FOLDER/Vorlane16.exe under the probe; its answers in UTF-8,
#                                    one a line (see WindowProbe.cpp for the steps)
#   expect WHAT EXPECTED ACTUAL      fails the test unless both agree
#   expect_ini EXPECTED-FILE         fails the test unless the Windows folder's "Vorlane.ini" is that file
# and the menu commands the window answers (app/win32/MainMenu.h), cmN1 and the others.
fresh_wine_server() {
  wineserver --kill 2>/dev/null || true
  wineserver --wait
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
drive() {
  local probe="$1" folder="$2"
  shift 2
  (cd "$folder" && wine "$probe" "$(windows_path "$folder/Vorlane16.exe")" "$@") | tr -d '\r' | iconv -f CP932 -t UTF-8
}
expect() {
  [ "$2" = "$3" ] || { echo "$1: expected '$2', got '$3'" >&2; exit 1; }
}
expect_ini() {
  local ini="$WINEPREFIX/drive_c/windows/Vorlane.ini"
  cmp "$1" "$ini" || { echo "unexpected Vorlane.ini:" >&2; cat -A "$ini" >&2; exit 1; }
}
cmN1=1001 cmL1=1002 cmR1=1003 cmG1=1004 cmX1=1006 cmTileV=1008 cmA1=1009
