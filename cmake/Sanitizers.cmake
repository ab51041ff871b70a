# RV_HALFTONE_SANITIZE applies to every target so that the library, the components and the tests
# share one runtime (mixing instrumented and plain code hides faults).
if(RV_HALFTONE_SANITIZE)
  set(_rv_san "-fsanitize=${RV_HALFTONE_SANITIZE}")
  add_compile_options(${_rv_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(${_rv_san})
endif()
