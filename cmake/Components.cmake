# The outside components: small static libraries of their own, compiled position independent and
# with hidden symbols so that they end up inside libRv_Halftone.so without widening its interface.
add_subdirectory(Src/BoostLogWrapper)
add_subdirectory(Src/ZebCommon)
add_subdirectory(Src/RvBandData)
