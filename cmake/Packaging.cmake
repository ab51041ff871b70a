# cmake --install: the shared library, the analysis library, the headers a host includes, a CMake
# package (Rv_Halftone::Rv_Halftone, Rv_Halftone::RvAnalysis), a pkg-config file (the shared
# library only) and the Python binding.
include(CMakePackageConfigHelpers)

set(RV_HALFTONE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Rv_Halftone)

# RvAnalysis, the static library beside it, for hosts that split pages or check a print plan.
install(TARGETS Rv_Halftone RvAnalysis EXPORT Rv_HalftoneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Public headers only: the library's internal headers live beside its sources and are never
# installed. The component headers are installed because the exported classes derive from or hold
# their types.
foreach(_dir Rv_Halftone ZebCommon BoostLogWrapper RvBandData RvPlanes RvAnalysis)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/Include/${_dir}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
endforeach()

# The Python binding, where the Debian interpreter looks for modules of this prefix
# (/usr/local/lib/python3/dist-packages for the prefix /usr/local).
set(RV_HALFTONE_PYTHON_DIR lib/python3/dist-packages CACHE STRING
    "Folder, under the install prefix, of the Python binding rv_halftone.py")
install(FILES ${PROJECT_SOURCE_DIR}/Src/Python/rv_halftone.py DESTINATION ${RV_HALFTONE_PYTHON_DIR})

install(EXPORT Rv_HalftoneTargets NAMESPACE Rv_Halftone:: DESTINATION ${RV_HALFTONE_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/Rv_HalftoneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/Rv_HalftoneConfig.cmake INSTALL_DESTINATION ${RV_HALFTONE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/Rv_HalftoneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/Rv_HalftoneConfig.cmake
              ${PROJECT_BINARY_DIR}/Rv_HalftoneConfigVersion.cmake
        DESTINATION ${RV_HALFTONE_CMAKE_DIR})

# Relocatable: the prefix is found from where the .pc file lies, whatever --prefix the install gets.
file(RELATIVE_PATH RV_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(${PROJECT_SOURCE_DIR}/cmake/rv_halftone.pc.in
               ${PROJECT_BINARY_DIR}/rv_halftone.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rv_halftone.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
