vr_add_test(chart_scale_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_scale_test.cpp
  LIBS vr_widgets)
