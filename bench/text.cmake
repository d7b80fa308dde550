# Text cores: clean-up with time shift and the pattern engine, plus the
# listing generator that bench/sed_compare.sh feeds to both tools.
add_executable(bench_text ${CMAKE_CURRENT_LIST_DIR}/text_bench.cpp)
target_link_libraries(bench_text PRIVATE textproc output common benchmark::benchmark)

add_executable(mirvaly-text-listing ${CMAKE_CURRENT_LIST_DIR}/text_listing_main.cpp)
target_link_libraries(mirvaly-text-listing PRIVATE common)
