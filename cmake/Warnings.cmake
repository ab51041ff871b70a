# One place for the warning flags every target of ours uses.
add_library(rv_warnings INTERFACE)
target_compile_options(rv_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion>
  $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wpedantic>)
