# One refresh from the reference service into an empty store, timed by its
# parts; bench/refresh.sh runs it beside isql-fb on the same scripts.
add_executable(refresh_bench ${CMAKE_CURRENT_LIST_DIR}/refresh_bench.cpp)
target_link_libraries(refresh_bench PRIVATE service store common)
