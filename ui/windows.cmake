# Window base, frame windows and panels (Windows).
if(WIN32)
  add_library(vqui STATIC CVQWindow.cpp)
  target_include_directories(vqui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vqui PUBLIC vqhud_pixels vkbase)
  if(TARGET vqui_graphics)
    target_link_libraries(vqui PUBLIC vqui_graphics)
  endif()
endif()
