#!/usr/bin/env bash
# The man page of rv_halftone as man shows it: a section for every command the tool registers, the
# sections a user looks for, and the program's name where help2man writes it, never a path.
#   check_man_page.sh TOOL PAGE
set -euo pipefail
tool=$1 page=$2
commands=$("$tool" --help | awk '/^Subcommands:/ { listed = 1; next } listed && /^  [a-z]/ { print $1 }')
text=$(MANWIDTH=100 man -l "$page" 2>/dev/null | col -b)
status=0
for command in $commands; do
  grep -qE "^   $command\$" <<< "$text" || { echo "no section for the command $command"; status=1; }
done
for section in NAME SYNOPSIS COMMANDS "EXIT STATUS" ENVIRONMENT JSON EXAMPLES; do
  grep -qx "$section" <<< "$text" || { echo "no section $section"; status=1; }
done
grep -q "RV_HALFTONE_KERNEL" <<< "$text" || { echo "RV_HALFTONE_KERNEL is not described"; status=1; }
if grep -q "/rv_halftone" <<< "$text"; then
  echo "the page names the program by a path:"; grep "/rv_halftone" <<< "$text" | head -3; status=1
fi
exit "$status"
