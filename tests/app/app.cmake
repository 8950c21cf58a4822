# The main and Options windows on the fake serial device.
vr_add_test(app_form_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/form1_test.cpp ${CMAKE_CURRENT_LIST_DIR}/layout_test.cpp
  LIBS vr_app
  QT)
