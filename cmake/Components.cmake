# The components: the three outside ones (small static libraries compiled position independent
# with hidden symbols, linked into libRv_Halftone.so; only the classes that the library's exported
# classes derive from or hand out are exported with it, as cmake/Interface.cmake lists), RvPlanes
# (the threshold planes as data, which the library, the analysis library and the threshold
# generator share), then the library.

# <component>_headers: the include root of one component, a folder in the build tree that holds
# nothing but a link to its Include/<component>. A target sees another component's headers only by
# linking that component (or its headers target).
function(rv_component_headers component)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${component})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/Include/${component} ${root}/${component} SYMBOLIC)
  add_library(${component}_headers INTERFACE)
  target_include_directories(${component}_headers INTERFACE ${root})
  target_link_libraries(${component}_headers INTERFACE ${ARGN})
endfunction()

add_subdirectory(Src/BoostLogWrapper)
add_subdirectory(Src/ZebCommon)
add_subdirectory(Src/RvBandData)
add_subdirectory(Src/RvPlanes)
add_subdirectory(Src/Rv_Halftone)
