# Network control: the line protocol (no Qt, no network).
vr_add_test(remote_rigctl_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/rigctl_test.cpp LIBS vr_remote)
