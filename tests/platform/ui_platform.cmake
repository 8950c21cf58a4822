# The Qt side of the platform: handler guard, message boxes, sync-call wake-up.
vr_add_test(platform_ui_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_platform_test.cpp
  LIBS vr_platform_ui
  QT)
