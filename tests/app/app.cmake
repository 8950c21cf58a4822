# The main and Options windows on the fake serial device.
vr_add_test(app_form_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/form1_test.cpp ${CMAKE_CURRENT_LIST_DIR}/layout_test.cpp
  LIBS vr_app
  QT)

# The main window on the real serial device, against the modem simulator.
if(VR_WITH_QT AND TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(app_e2e_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/e2e_sim_test.cpp LIBS vr_app QT)
  target_include_directories(app_e2e_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(app_e2e_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(app_e2e_test slm7650-sim)
endif()

# The program's entry: windows at start, settings file at close, exit code.
vr_add_test(app_startup_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp LIBS vr_app QT)
