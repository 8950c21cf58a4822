# The reconnection of a lost line and the station log wired to the windows.
vr_add_test(app_reconnect_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/reconnect_test.cpp LIBS vr_app QT)
