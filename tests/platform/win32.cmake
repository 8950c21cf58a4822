# The Windows backends of the platform stand-ins, run under Wine by scripts/test-windows.
if(WIN32)
  vr_add_test(win32_profile_test SOURCES win32_profile_test.cpp LIBS vr_platform)
  vr_add_test(win32_port_enum_test SOURCES win32_port_enum_test.cpp LIBS vr_platform)
  vr_add_test(win32_serial_device_test SOURCES win32_serial_device_test.cpp LIBS vr_platform)
endif()
if(WIN32 AND TARGET vr_serial)
  vr_add_test(win32_comport_test SOURCES win32_comport_test.cpp LIBS vr_serial)
endif()
# The setup dialog over the registry's port list and the Windows serial device.
if(WIN32)
  vr_add_test(win32_setup_dialog_test SOURCES win32_setup_dialog_test.cpp LIBS vr_serial_ui QT)
endif()
