# The port setup dialog and the port list behind it.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  vr_add_test(setup_port_enum_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_port_enum_test.cpp LIBS vr_platform)
endif()
vr_add_test(setup_dialog_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_dialog_test.cpp LIBS vr_serial_ui QT)
vr_add_test(setup_port_list_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/port_list_test.cpp LIBS vr_serial_ui QT)
