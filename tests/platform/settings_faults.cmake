# The settings file under faults through TIniFile, the recall captions and
# the port settings (disk full, odd paths, huge and garbled files).
if(UNIX)
  vr_add_test(settings_faults_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_faults_test.cpp
    LIBS vr_presets vr_serial vr_platform)
endif()
