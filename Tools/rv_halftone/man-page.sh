#!/usr/bin/env bash
# Writes the man page of rv_halftone from its own help: help2man takes the synopsis, the options
# and the version from "rv_halftone --help" and "--version"; every command the tool registers (as
# its --help lists them) gets a section of its own with that command's help, then come the exit
# status, the environment, the JSON report and examples. man-page.sh TOOL OUTPUT
set -euo pipefail
tool=$1 output=$2
commands=$("$tool" --help | awk '/^Subcommands:/ { listed = 1; next } listed && /^  [a-z]/ { print $1 }')
if [ -z "$commands" ]; then
  echo "man-page.sh: $tool --help lists no commands" >&2
  exit 1
fi
sections=$(mktemp)
trap 'rm -f "$sections"' EXIT
{
  echo "[COMMANDS]"
  for command in $commands; do
    echo ".SS $command"
    echo ".nf"
    # Backslashes first, then lines that start with a dot or a quote, which would be requests.
    "$tool" "$command" --help | sed -e 's/\\/\\e/g' -e 's/^\([.'"'"']\)/\\\&\1/'
    echo ".fi"
  done
  cat <<'EOF'
[EXIT STATUS]
.TP
.B 0
all went well (and every checked promise was met)
.TP
.B 1
the input was refused (the library or the tool cannot serve it; the reason says why), or a
checked promise was not met
.TP
.B 2
the command line does not parse or gives a value outside an option's own set (a usage error), a
file could not be read or written (the standard output included), or the memory ran out
[ENVIRONMENT]
.TP
.B RV_HALFTONE_KERNEL
the pixel kernels the library renders with:
.BR avx2 ", " portable " or " plain .
A value this processor cannot run, or one that names no kernel, is not taken (the fastest the
processor runs is) and is named in one record on the standard error stream.
[JSON]
With
.B \-\-json
every command prints one JSON object on the standard output, also when it refuses its input and
on a usage error; the library's records and the tool's warnings go to the standard error stream.
The keys, in this order:
.B command
(the command's name),
.B status
("ok", "refused", "not met", "error" or "usage error"),
.B reason
(present exactly when the status is not "ok"),
.B record
(the thirteen fields of the parameter record as given, for the commands that take one),
.B files
(the paths written),
.B warnings
(options given that change nothing, and the like), then the command's own keys.
A range of lines is half-open everywhere: FIRST:END in options and text, [FIRST, END] in JSON,
END excluded. A share is a percent, in a key that ends in Percent.
[EXAMPLES]
.TP
.B rv_halftone mask \-\-nozzle-count 1280 \-\-base-pass 8 \-\-json
the geometry of a mode as JSON
.TP
.B rv_halftone mask \-\-feather-mode 1 \-\-feather-nozzle-type 2 \-\-feather-percent 50 \-\-color 0 \-\-out maps
mask pictures, the pass map and the share chart of colour 0
.TP
.B rv_halftone mask \-\-out maps \-\-lines=\-100:400
the pass map of page lines \-100:400 (line 400 excluded), the lead-in above page line 0 included
.TP
.B rv_halftone verify \-\-color-times 2 \-\-out counts
simulate the print and check that every page pixel is fired twice
.TP
.B rv_halftone testpage \-\-out page.png && rv_halftone split page.png page.png \-\-out swaths
cut a test page into the swath of every pass and check them
EOF
} > "$sections"
help2man --no-info --no-discard-stderr --name "pass masks of multi-pass inkjet printers" \
  --include "$sections" --output "$output" "$tool"
