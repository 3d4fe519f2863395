# api_bench: lookups, deletes and appends by integer key through a connection, 50,000 vs 5,000,000 rows,
# and appends and lookups on a table with index tags, 10,000 vs 1,000,000 rows.
add_executable(api_bench ${CMAKE_CURRENT_LIST_DIR}/api_bench.cpp)
target_link_libraries(api_bench PRIVATE archive_engine)
