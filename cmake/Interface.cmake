# What libRv_Halftone.so exports - the interface hosts bind by name - written once: the version
# script (Src/Rv_Halftone/Rv_Halftone.map.in) and the exported-symbol test are made from it.
set(RV_HALFTONE_EXPORTED_C_FUNCTIONS
  halfton_mask_container_create halfton_mask_data halfton_mask_height halfton_mask_width
  halfton_mask_line_bytes halfton_mask_step_height halfton_mask_lead_blank_height
  rv_halftone_version rv_halftone_kernel_variant rv_halftone_record_reason
  rv_halftone_mask_position_count rv_halftone_mask_color_count rv_halftone_mask_bits_per_pixel
  rv_halftone_mask_bytes_per_position rv_halftone_mask_real_step_height rv_halftone_mask_x_steps
  rv_halftone_mask_y_steps rv_halftone_mask_delete rv_halftone_set_log_callback)
# C++ functions, as the version script names them.
set(RV_HALFTONE_EXPORTED_CXX_FUNCTIONS
  "halfton_mask_container_delete(void*&)"
  "operator<<(std::ostream&, ESeverityLevel)")
set(RV_HALFTONE_EXPORTED_CLASSES
  CMaskData_Base CMaskDataFactory CMaskDataStorage CMaskDataGenerator CMaskDataGenerator_Sub
  CSineMask OverlapMask OverlapMaskStorage CDecryptMask CRawMaskData CBaseMaskData CMaskBlock
  Halftone_Helper
  # The band image class CDecryptMask hands out, the common component's base and member types of
  # the exported classes, and the logger that the installed headers log through.
  CBandData CustomThreadBase CustomConditionVariable CustomConditionVariable_Manual ExpandBuffer
  CCustomBoostLog)
