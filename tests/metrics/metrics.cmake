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

# Against the real peers: promtool on the output, the shipped rules and
# configuration; Prometheus scraping the program polling the simulator.
if(VR_WITH_QT AND TARGET slm7650-sim AND NOT WIN32)
  find_program(VR_PROMETHEUS prometheus)
  find_program(VR_PROMTOOL promtool)
  vr_add_test(metrics_peers_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/peers_test.cpp LIBS vr_app QT)
  target_link_libraries(metrics_peers_test PRIVATE Qt6::Network)
  target_include_directories(metrics_peers_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/app ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(metrics_peers_test PRIVATE
    SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>"
    PROMETHEUS_PROGRAM="${VR_PROMETHEUS}"
    PROMTOOL_PROGRAM="${VR_PROMTOOL}"
    DOCS_DIR="${CMAKE_SOURCE_DIR}/docs/prometheus"
    RULES_TEST="${CMAKE_CURRENT_LIST_DIR}/alert_rules_test.yml")
  add_dependencies(metrics_peers_test slm7650-sim)
endif()
