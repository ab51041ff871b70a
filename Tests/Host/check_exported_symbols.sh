#!/usr/bin/env bash
# Lists the dynamic symbols that libRv_Halftone.so defines and fails on any that is not part of
# its exported interface (cmake/Interface.cmake), and on a C function of that interface that it
# does not define:
#   check_exported_symbols.sh LIBRARY "C functions" "C++ function names" "classes"
# each list separated by '|'.
set -euo pipefail
library=$1 functions=$2 cxxFunctions=$3 classes=$4
escaped=$(printf '%s' "$cxxFunctions" | sed -e 's/[][\.*^$+?(){}]/\\&/g')
allowed="^((${functions})\$"
allowed+="|(${escaped})\("
allowed+="|((non-virtual |virtual )?thunk to )?(${classes})::"
allowed+="|(typeinfo|typeinfo name|vtable|VTT|construction vtable for .* in) for (${classes})\b"
allowed+="|_init\$|_fini\$|_edata\$|_end\$|__bss_start\$)"
leaks=$(nm -D --defined-only "$library" | awk '{ $1=""; $2=""; sub(/^  /, ""); print }' | c++filt \
        | grep -v -E "$allowed" || true)
if [ -n "$leaks" ]; then
  echo "symbols outside the exported interface:"
  echo "$leaks"
  exit 1
fi
# And every C function of the interface is there.
defined=$(nm -D --defined-only "$library" | awk '{ print $3 }')
missing=""
for function in ${functions//|/ }; do
  grep -qx "$function" <<< "$defined" || missing+=" $function"
done
if [ -n "$missing" ]; then
  echo "C functions of the interface not exported:$missing"
  exit 1
fi
echo "exported symbols: ok ($(nm -D --defined-only "$library" | wc -l) symbols)"
