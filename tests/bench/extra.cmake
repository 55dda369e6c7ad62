# The ratio table of `make bench` is plain code shared with the benchmarks; the tests compile it in.
target_sources(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/bench/common/RatioTable.cpp)
target_include_directories(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/bench/common)
