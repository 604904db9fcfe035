# Sourced by the window tests run under with-xvfb: a scratch folder with a copy of the program in
# program/ (its program folder), a settings folder and a home, removed at exit together with every
# process whose id the test adds to `background`.
#   . scratch_program.sh PATH-TO-Vorlane16
[ -n "${DISPLAY:-}" ] || { echo "no display: run under with-xvfb"; exit 1; }
work="$(mktemp -d)"
background=()
end_scratch() {
  local pid
  for pid in "${background[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap end_scratch EXIT
mkdir -p "$work/program" "$work/config" "$work/home"
cp "$1" "$work/program/Vorlane16"
