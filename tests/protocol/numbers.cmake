# Number formats and parsing.
vr_add_test(numbers_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/numbers_test.cpp LIBS vr_protocol)
