# Shared controls, artwork and the Console's chart and lists.
file(GLOB widgets_gui_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/widgets/*.cpp)
if(widgets_gui_sources AND TARGET quarn_widgets)
  set(widgets_gui_libs quarn_widgets)
  if(TARGET quarn_console_ui)
    list(APPEND widgets_gui_libs quarn_console_ui)
  endif()
  quarn_add_gui_test(NAME widgets_gui_test SOURCES ${widgets_gui_sources} LIBS ${widgets_gui_libs})
endif()
