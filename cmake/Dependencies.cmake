# Boost.Log must be the shared library everywhere: its logging core is a process-wide singleton,
# and a host's sinks only see our records when both sides use the same core.
set(Boost_USE_STATIC_LIBS OFF)
add_compile_definitions(BOOST_LOG_DYN_LINK BOOST_ALL_DYN_LINK)
find_package(Boost 1.74 REQUIRED COMPONENTS log thread)
find_package(Threads REQUIRED)
# The Fourier transform of the analysis library: KISS FFT's header-only C++ template, BSD-licensed
# so that RvAnalysis can go to hosts as the library does.
find_path(KISSFFT_INCLUDE_DIR kissfft/kissfft.hh REQUIRED)
