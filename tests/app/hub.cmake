# The main window's reports to the station hub, on the fake serial device.
vr_add_test(app_hub_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/hub_test.cpp LIBS vr_app QT)
# The program asked to end by the system (a stop signal).
if(NOT WIN32)
  vr_add_test(app_stop_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/stop_test.cpp LIBS vr_app QT)
endif()
