# The Console's dispatcher, notice panel and Pair Setting dialog.
quarn_add_gui_test(NAME console_dialogs_gui_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/console_dialogs/console_signals_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/console_dialogs/notice_panel_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/console_dialogs/pair_setting_dialog_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/console_dialogs/pass_lines_dialog_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/console_dialogs/qt_dispatcher_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/console_dialogs/run_through_qt_test.cpp
  LIBS quarn_console_ui)
