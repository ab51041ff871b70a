#!/usr/bin/env bash
# Writes the man page of rv_halftone from its own help: help2man takes the synopsis, the options
# and the version from "rv_halftone --help" and "--version"; every command's help is added as a
# section of its own. man-page.sh TOOL OUTPUT
set -euo pipefail
tool=$1 output=$2
sections=$(mktemp)
trap 'rm -f "$sections"' EXIT
{
  echo "[COMMANDS]"
  for command in mask verify planes overlap ramp; do
    echo ".SS $command"
    echo ".nf"
    # Lines that start with a dot or a quote would be read as requests.
    "$tool" "$command" --help | sed -e 's/^\([.'"'"']\)/\\\&\1/' -e 's/\\/\\e/g'
    echo ".fi"
  done
  echo "[EXIT STATUS]"
  echo "0 ok; 1 the input was refused or a checked promise was not met; 2 a file could not be"
  echo "read or written; other values: bad options (CLI11's codes)."
} > "$sections"
help2man --no-info --no-discard-stderr --name "pass masks of multi-pass inkjet printers" \
  --include "$sections" --output "$output" "$tool"
