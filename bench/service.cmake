# The service exchange over loopback: login and getprogram against the
# reference service with a benchmark-sized catalogue, and a full 2,048,000-byte
# response from a plain scripted server.
add_executable(bench_service ${CMAKE_CURRENT_LIST_DIR}/service_bench.cpp)
target_link_libraries(bench_service PRIVATE server service loopback_support common
                      benchmark::benchmark)
