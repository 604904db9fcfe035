#!/bin/bash
# vorlane-gsk shows how far `add` and `relink --search` got on standard error when it is a terminal (here
# the one `script` gives it), and writes nothing there when it is a pipe.
#   progress.sh PATH-TO-vorlane-gsk
set -euo pipefail
gsk="$1"
if ! command -v script >/dev/null || ! command -v convert >/dev/null; then
  echo "script (bsdutils) or convert (imagemagick) is missing: scripts/setup-debian.sh installs them"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/pictures" "$work/elsewhere"
convert -size 8x8 xc:red "$work/pictures/0.bmp"
pictures=()
for i in $(seq 0 199); do
  [ "$i" -eq 0 ] || cp "$work/pictures/0.bmp" "$work/pictures/$i.bmp"
  pictures+=("$work/pictures/$i.bmp")
done

# Runs the arguments on a terminal; what the terminal showed.
on_terminal() {
  local command
  command="$(printf '%q ' "$@")"
  script -qec "$command" /dev/null </dev/null
}

shown="$(on_terminal "$gsk" add "$work/a.gsk" "${pictures[@]}")"
grep -q "adding pictures: 200 / 200" <<<"$shown" || { echo "no progress of add on a terminal:"; cat -A <<<"$shown" | head; exit 1; }
"$gsk" add "$work/b.gsk" "${pictures[@]}" 2>"$work/stderr" | cat >/dev/null
[ ! -s "$work/stderr" ] || { echo "progress of add went into a pipe:"; cat -A "$work/stderr" | head; exit 1; }

# The pictures moved away, and looked for among many files.
mv "$work/pictures" "$work/elsewhere/moved"
for i in $(seq 0 99); do : >"$work/elsewhere/other$i.txt"; done
shown="$(on_terminal "$gsk" relink "$work/a.gsk" --dry-run --search "$work/elsewhere")"
grep -q "searching .*, files seen: 64" <<<"$shown" || { echo "no progress of relink on a terminal:"; cat -A <<<"$shown" | head; exit 1; }
"$gsk" relink "$work/b.gsk" --dry-run --search "$work/elsewhere" 2>"$work/stderr" | cat >/dev/null
[ ! -s "$work/stderr" ] || { echo "progress of relink went into a pipe:"; cat -A "$work/stderr" | head; exit 1; }
echo "ok: progress on a terminal only"
