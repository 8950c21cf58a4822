# The station log and the program's own events in it.
vr_add_test(event_log_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/event_log_test.cpp LIBS vr_records)
vr_add_test(program_events_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_events_test.cpp LIBS vr_records)
