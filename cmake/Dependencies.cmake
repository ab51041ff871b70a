# Every outside package the build uses, found here and nowhere else (scripts/install-deps.sh
# installs them); what only the tools, the tests or the benchmarks use is looked for only when
# they are built.

# Boost.Log must be the shared library everywhere: its logging core is a process-wide singleton,
# and a host's sinks only see our records when both sides use the same core. The imported targets
# carry their link definitions (BOOST_LOG_DYN_LINK).
set(Boost_USE_STATIC_LIBS OFF)
find_package(Boost 1.74 REQUIRED COMPONENTS log thread)
find_package(Threads REQUIRED)
# The Fourier transform of the analysis library: KISS FFT's header-only C++ template, BSD-licensed
# so that RvAnalysis can go to hosts as the library does.
find_path(KISSFFT_INCLUDE_DIR kissfft/kissfft.hh REQUIRED)

if(RV_HALFTONE_BUILD_TOOLS)
  find_package(CLI11 REQUIRED)
  find_package(PNG REQUIRED)
  find_package(TIFF REQUIRED)
endif()
if(RV_HALFTONE_BUILD_TOOLS OR RV_HALFTONE_BUILD_TESTS)
  find_package(nlohmann_json REQUIRED)
endif()
if(RV_HALFTONE_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  # Optional: the Python binding's test runs only where an interpreter is found. The Debian one
  # first, whose numpy scripts/install-deps.sh installs, before any other python3 on the PATH.
  if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3)
  endif()
  find_package(Python3 COMPONENTS Interpreter)
endif()
if(RV_HALFTONE_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
