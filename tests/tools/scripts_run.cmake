# scripts/run, stopped by a signal, stops the program, the simulator and Xvfb.
if(VR_WITH_QT AND UNIX AND TARGET slm7650-sim AND TARGET varnetrix-reader)
  find_program(VR_XVFB Xvfb)
  if(VR_XVFB)
    add_test(NAME ScriptsRun.StopsEverythingItStartedOnASignal
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_stop_test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
    set_tests_properties(ScriptsRun.StopsEverythingItStartedOnASignal PROPERTIES TIMEOUT 120)
  endif()
endif()
