# File panel, log windows, help window and chart export.
quarn_add_gui_test(NAME file_log_help_gui_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_log_help_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/file_log_help_window_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/window_plan_test.cpp
  LIBS quarn_console_ui quarn_test_support)
target_compile_definitions(file_log_help_gui_test PRIVATE
  QUARN_GUI_SHOT_DIR="${CMAKE_BINARY_DIR}/gui-shots")
