# The main window's reports to the station hub, on the fake serial device.
vr_add_test(app_hub_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/hub_test.cpp LIBS vr_app QT)
