# A real line's far end going away, whenever it happens: the line-lost notice.
if(UNIX)
  vr_add_test(serial_line_gone_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/line_gone_test.cpp
    LIBS vr_serial LABELS thread)
endif()
