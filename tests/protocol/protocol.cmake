vr_add_test(protocol_sender_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sender_test.cpp LIBS vr_protocol)
vr_add_test(protocol_reply_parser_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/reply_parser_test.cpp LIBS vr_protocol)
vr_add_test(protocol_status_poll_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/status_poll_test.cpp LIBS vr_protocol)
vr_add_test(protocol_comport_request_port_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/comport_request_port_test.cpp LIBS vr_presets vr_protocol vr_serial LABELS thread)
