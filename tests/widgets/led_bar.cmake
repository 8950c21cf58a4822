vr_add_test(led_bar_geometry_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/led_bar_geometry_test.cpp
  LIBS vr_widgets)
vr_add_test(led_bar_widget_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/led_bar_widget_test.cpp
  LIBS vr_widgets_ui QT)
