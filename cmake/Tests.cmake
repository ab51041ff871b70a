find_package(GTest REQUIRED)
include(GoogleTest)
add_subdirectory(Tests)
