# Port settings persistence (LoadSettings / StoreSettings through INI files).
if(NOT WIN32)
  vr_add_test(serial_settings_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
              LIBS vr_serial vr_platform LABELS thread)
endif()
