vr_add_test(station_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/station_test.cpp LIBS vr_station)
vr_add_test(listen_settings_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/listen_settings_test.cpp LIBS vr_station)
