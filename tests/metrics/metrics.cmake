# The exposition and the reading of requests, without Qt.
vr_add_test(metrics_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/exposition_test.cpp ${CMAKE_CURRENT_LIST_DIR}/http_request_test.cpp
  LIBS vr_metrics)
target_compile_definitions(metrics_test PRIVATE VR_EXPECTED_VERSION="${PROJECT_VERSION}")

# The responder on real sockets.
vr_add_test(metrics_server_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp LIBS vr_metrics_net QT)
