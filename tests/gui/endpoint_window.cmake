# The EndPoint window and rename dialog over a real agent on loopback (or in a network
# namespace), with a name store of their own.
if(TARGET quarn_endpoint_window AND TARGET quarn_test_support AND TARGET Quarn_EndPoint)
  quarn_add_gui_test(NAME endpoint_window_test SERIAL_CASES "*"
      SOURCES endpoint_window_test.cpp
      LIBS quarn_endpoint_window quarn_test_support)
  # The second-start tests run the program itself.
  add_dependencies(endpoint_window_test Quarn_EndPoint)
endif()
