# Window base, frame windows and panels (Windows).
if(WIN32)
  add_library(vqui STATIC CVQWindow.cpp CVQFrmWnd.cpp CVQLogo.cpp CVQDashboard.cpp)
  target_include_directories(vqui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vqui PUBLIC vqui_graphics vqhud_pixels vqhud vkbase)
endif()
