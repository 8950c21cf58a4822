vr_add_test(daily_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/daily_file_test.cpp LIBS vr_records)
