# The port component against the fake device, its event delivery, and the
# real POSIX device on a pseudo-terminal. All run under ThreadSanitizer too.
vr_add_test(serial_text_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_test.cpp
  LIBS vr_serial LABELS thread)
vr_add_test(serial_comport_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/comport_test.cpp
  LIBS vr_serial LABELS thread)
vr_add_test(serial_events_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/events_test.cpp
  LIBS vr_serial LABELS thread)
if(UNIX)
  vr_add_test(serial_pty_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/pty_test.cpp
    LIBS vr_serial LABELS thread)
endif()
