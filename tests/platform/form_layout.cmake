# The form machinery the windows build from.
vr_add_test(form_layout_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/form_layout_test.cpp
  LIBS vr_platform_ui
  QT)
