# PackDatabase (AdoTools) over real database folders.
archive_test_suite(db_pack_tests PLAIN archive_db)
target_sources(db_pack_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/pack_database_test.cpp)
target_link_libraries(db_pack_tests PRIVATE sample_data)
