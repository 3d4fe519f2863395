# PackDatabase (AdoTools): packing a database folder through the engine's automation server.
add_library(archive_db_pack STATIC ${CMAKE_CURRENT_LIST_DIR}/pack_database.cpp)
target_link_libraries(archive_db_pack PUBLIC archive_common archive_engine)
target_link_libraries(archive_db INTERFACE archive_db_pack)
