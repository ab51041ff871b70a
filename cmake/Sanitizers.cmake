# RV_HALFTONE_SANITIZE applies to every target so that the library, the components and the tests
# share one runtime (mixing instrumented and plain code hides faults).
if(RV_HALFTONE_SANITIZE)
  set(_rv_san "-fsanitize=${RV_HALFTONE_SANITIZE}")
  add_compile_options(${_rv_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(${_rv_san})
endif()

# Fuzzing instruments everything for coverage; only the fuzz programs link libFuzzer's main.
if(RV_HALFTONE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "RV_HALFTONE_FUZZ needs clang (CXX=clang++ CC=clang)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
