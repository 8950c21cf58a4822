vr_add_test(daily_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/daily_file_test.cpp LIBS vr_records)
vr_add_test(records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_worker_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pass_log_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scan_archive_test.cpp
  LIBS vr_records)
