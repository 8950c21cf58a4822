vr_add_test(line_series_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/line_series_test.cpp
  LIBS vr_scanner)
vr_add_test(scan_controller_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scan_controller_test.cpp
  LIBS vr_scanner vr_protocol)
vr_add_test(scan_chart_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_test.cpp
  LIBS vr_scanner_ui QT)
vr_add_test(scanner_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/form3_test.cpp
  LIBS vr_scanner_ui vr_protocol QT)
