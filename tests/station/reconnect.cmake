# The waits between attempts to open a lost line again.
vr_add_test(reconnect_schedule_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/reconnect_schedule_test.cpp LIBS vr_station)
