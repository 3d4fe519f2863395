# The automation server of the engine (FoxApplication::DoCmd).
target_sources(archive_engine PRIVATE ${CMAKE_CURRENT_LIST_DIR}/automation.cpp)
