# The status-bar clock's text in the locales' long time formats.
vr_add_test(app_clock_text_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/clock_text_test.cpp LIBS vr_app QT)
