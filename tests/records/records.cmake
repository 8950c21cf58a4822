vr_add_test(daily_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/daily_file_test.cpp LIBS vr_records)
vr_add_test(records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_worker_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pass_log_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scan_archive_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pass_track_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/pass_plot_model_test.cpp
  LIBS vr_records
  LABELS thread)

# The records of the running program, against the modem simulator.
if(VR_WITH_QT AND TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(records_e2e_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/records_e2e_test.cpp LIBS vr_app QT)
  target_include_directories(records_e2e_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools ${CMAKE_SOURCE_DIR}/tests/app)
  target_compile_definitions(records_e2e_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(records_e2e_test slm7650-sim)
endif()

# The pass plot window, offscreen.
vr_add_test(pass_plot_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/pass_plot_test.cpp LIBS vr_records_ui QT)

# The picture of the pass plot in docs/ (run by hand under Xvfb; see its source).
if(VR_WITH_QT AND TARGET slm7650-sim AND NOT WIN32)
  add_executable(pass_plot_shot ${CMAKE_CURRENT_LIST_DIR}/pass_plot_shot.cpp)
  target_link_libraries(pass_plot_shot PRIVATE vr_app vr_test_support Qt6::Test)
  target_include_directories(pass_plot_shot PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(pass_plot_shot PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(pass_plot_shot slm7650-sim)
endif()
