vr_add_test(station_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/station_test.cpp LIBS vr_station)
