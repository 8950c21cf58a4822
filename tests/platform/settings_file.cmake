# The INI profile functions, the settings file class and the working directory.
vr_add_test(profile_text_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_text_test.cpp LIBS vr_platform)
if(NOT WIN32)
  vr_add_test(profile_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/profile_file_test.cpp LIBS vr_platform)
endif()
vr_add_test(ini_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ini_file_test.cpp LIBS vr_platform)
if(NOT WIN32)
  # The POSIX working directory and settings path; the Windows ones are tested with the win32 backends.
  vr_add_test(workdir_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/workdir_test.cpp LIBS vr_platform)
endif()
