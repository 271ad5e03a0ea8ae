# The Console's main window: its look and commands offscreen, and whole operator sessions
# against real EndPoints in network namespaces (the test enters the Console's host).
if(NOT TARGET quarn_console_ui OR NOT TARGET quarn_test_support OR NOT TARGET Quarn_EndPoint)
  return()
endif()

quarn_add_gui_test(NAME main_window_gui_test TIMEOUT 300
  SERIAL_CASES "WindowSessionTest.*:LonelyWindowTest.*:WindowLabKeyNetworkTest.*:WindowUnkeyedLabTest.*"
  SOURCES
    main_window/main_window_details_test.cpp
    main_window/main_window_look_test.cpp
    main_window/main_window_session_test.cpp
    main_window/journalled_run.cpp
    main_window/history_commands_test.cpp
    main_window/reference_commands_test.cpp
    main_window/window_lab_key_test.cpp
    main_window/window_test_support.cpp
    ${QUARN_ROOT}/tests/e2e/console_network_test.cpp
    ${QUARN_ROOT}/tests/e2e/namespace_processes.cpp
  LIBS quarn_console_ui quarn_test_support quarn_labkey)
target_compile_definitions(main_window_gui_test PRIVATE
    QUARN_BIN_DIR="$<TARGET_FILE_DIR:Quarn_Console>")
add_dependencies(main_window_gui_test Quarn_Console Quarn_EndPoint)

# The README's screenshots (scripts/screenshots.sh runs it under Xvfb); not a test, so
# sanitizer builds skip it.
if(QUARN_SANITIZE)
  return()
endif()
add_executable(main_window_screenshots
    main_window/screenshot_driver.cpp
    main_window/window_test_support.cpp
    ${QUARN_ROOT}/tests/e2e/console_network_test.cpp
    ${QUARN_ROOT}/tests/e2e/namespace_processes.cpp)
target_include_directories(main_window_screenshots PRIVATE ${QUARN_ROOT})
target_link_libraries(main_window_screenshots PRIVATE quarn_console_ui quarn_test_support
                                                      Qt6::Test GTest::gtest)
target_compile_definitions(main_window_screenshots PRIVATE
    QUARN_BIN_DIR="$<TARGET_FILE_DIR:Quarn_Console>")
add_dependencies(main_window_screenshots Quarn_Console Quarn_EndPoint)

# The window Console killed mid-run by a test: a driver that runs the window in its own
# process, and the test in network namespaces that kills it.
add_executable(killed_window_driver
    main_window/killed_window_driver.cpp
    main_window/window_test_support.cpp
    ${QUARN_ROOT}/tests/e2e/console_network_test.cpp
    ${QUARN_ROOT}/tests/e2e/namespace_processes.cpp)
target_include_directories(killed_window_driver PRIVATE ${QUARN_ROOT})
target_link_libraries(killed_window_driver PRIVATE quarn_console_ui quarn_test_support
                                                   Qt6::Test GTest::gtest)
target_compile_definitions(killed_window_driver PRIVATE
    QUARN_BIN_DIR="$<TARGET_FILE_DIR:Quarn_Console>")
quarn_add_test(NAME window_records_e2e_test LABEL e2e TIMEOUT 300 SANITIZER_CASES "*"
  SOURCES
    ${QUARN_ROOT}/tests/e2e/window_kill_test.cpp
    ${QUARN_ROOT}/tests/e2e/console_network_test.cpp
    ${QUARN_ROOT}/tests/e2e/namespace_processes.cpp
  LIBS quarn_console_records quarn_console_files quarn_test_support)
target_compile_definitions(window_records_e2e_test PRIVATE
    QUARN_BIN_DIR="$<TARGET_FILE_DIR:Quarn_Console>"
    QUARN_WINDOW_DRIVER="$<TARGET_FILE:killed_window_driver>")
add_dependencies(window_records_e2e_test Quarn_Console Quarn_EndPoint killed_window_driver)
