# The exposition and the reading of requests, without Qt.
vr_add_test(metrics_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/exposition_test.cpp ${CMAKE_CURRENT_LIST_DIR}/http_request_test.cpp
  LIBS vr_metrics)
target_compile_definitions(metrics_test PRIVATE VR_EXPECTED_VERSION="${PROJECT_VERSION}")

# The responder on real sockets.
vr_add_test(metrics_server_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp LIBS vr_metrics_net QT)

# The endpoint on the main window: settings, menu entry, status bar.
vr_add_test(metrics_link_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_test.cpp LIBS vr_app QT)
if(TARGET metrics_link_test)
  target_include_directories(metrics_link_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/app)
endif()
