vr_add_test(chart_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_test.cpp
  LIBS vr_widgets_ui QT)
