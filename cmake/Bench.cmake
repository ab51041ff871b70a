find_package(benchmark REQUIRED)
add_subdirectory(Bench)
