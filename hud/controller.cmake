# The HUD controller (Windows): owns the HUD's windows and components.
if(WIN32)
  add_library(vqhud STATIC CVQHUD.cpp)
  target_include_directories(vqhud PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  # The controller and the window toolkit call each other (windows reach the
  # HUD for focus and closing): the linker sees them as one group.
  target_link_libraries(vqhud PUBLIC vqui vqhud_pixels vkbase)

  # Everything of the engine a frame links, whatever has been built so far.
  add_library(vqhud_all INTERFACE)
  foreach(lib vqhud vqui vqui_graphics vqui_png vqhud_pixels vqmedia vqnet vkbase)
    if(TARGET ${lib})
      target_link_libraries(vqhud_all INTERFACE ${lib})
    endif()
  endforeach()
endif()
