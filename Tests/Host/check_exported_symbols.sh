#!/usr/bin/env bash
# Lists the dynamic symbols that libRv_Halftone.so defines and fails on any that is not part of
# its exported interface: the flat functions and the exported classes.
set -euo pipefail
library=$1
classes='CCustomBoostLog|CMaskData_Base|CMaskDataFactory|CMaskDataStorage|CMaskDataGenerator|CMaskDataGenerator_Sub|CSineMask|OverlapMask|OverlapMaskStorage|CDecryptMask|CRawMaskData|CBaseMaskData|CMaskBlock|Halftone_Helper|CBandData|CustomThreadBase|CustomConditionVariable|CustomConditionVariable_Manual|ExpandBuffer'
allowed="^(halfton_mask_(container_create|data|height|width|line_bytes|step_height|lead_blank_height)"
allowed+="|halfton_mask_container_delete\(void\*&\)"
allowed+="|rv_halftone_(version|kernel_variant)"
allowed+="|operator<<\(std::basic_ostream<char, std::char_traits<char> >&, ESeverityLevel\)"
allowed+="|((non-virtual |virtual )?thunk to )?(${classes})::"
allowed+="|(typeinfo|typeinfo name|vtable|VTT|construction vtable for .* in) for (${classes})\b"
allowed+="|_init|_fini|_edata|_end|__bss_start)"
leaks=$(nm -D --defined-only "$library" | awk '{ $1=""; $2=""; sub(/^  /, ""); print }' | c++filt \
        | grep -v -E "$allowed" || true)
if [ -n "$leaks" ]; then
  echo "symbols outside the exported interface:"
  echo "$leaks"
  exit 1
fi
echo "exported symbols: ok ($(nm -D --defined-only "$library" | wc -l) symbols)"
