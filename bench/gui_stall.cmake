# The GUI stall benchmark: built only with the desktop program.
if(TARGET tessor_ui)
  add_executable(gui_stall ${CMAKE_CURRENT_LIST_DIR}/gui_stall.cpp)
  target_link_libraries(gui_stall PRIVATE tessor_ui tessor_devsim_lib)
endif()
