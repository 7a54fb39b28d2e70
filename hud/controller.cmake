# The HUD controller (Windows): owns the HUD's windows and components.
if(WIN32)
  add_library(vqhud STATIC CVQHUD.cpp)
  target_include_directories(vqhud PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vqhud PUBLIC vqhud_pixels vqui vkbase)

  # Everything of the engine a frame links, whatever has been built so far.
  add_library(vqhud_all INTERFACE)
  foreach(lib vqhud vqui vqui_graphics vqhud_pixels vqmedia vqnet vkbase)
    if(TARGET ${lib})
      target_link_libraries(vqhud_all INTERFACE ${lib})
    endif()
  endforeach()
endif()
