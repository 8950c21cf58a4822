vr_add_test(presets_channels_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/channels_test.cpp LIBS vr_presets)
vr_add_test(presets_recall_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/recall_test.cpp LIBS vr_presets)
