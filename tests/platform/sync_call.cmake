vr_add_test(sync_call_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sync_call_test.cpp LIBS vr_platform LABELS thread)
