# The HUD controller (Windows): owns the HUD's windows and components.
if(WIN32)
  add_library(vqhud STATIC CVQHUD.cpp)
  target_include_directories(vqhud PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  # The controller and the window toolkit call each other (windows reach the
  # HUD for focus and closing): the linker sees them as one group.
  target_link_libraries(vqhud PUBLIC vqui vqsocial vqshare vqrecord vqhud_pixels vkbase)

  # Everything of the engine a frame links.
  add_library(vqhud_all INTERFACE)
  target_link_libraries(vqhud_all INTERFACE
    vqhud vqui vqsocial vqshare vqui_graphics vqui_png vqrecord vqcodec vqaudio vqhud_pixels vqnet vkbase)
endif()

if(WIN32 AND BUILD_TESTING)
  # The controller and its windows over an in-memory frame.
  orvalo_test(hud_controller_test
    SOURCES tests/CVQHUDTest.cpp tests/FakeFrame.cpp $<TARGET_OBJECTS:vqui_images>
    LIBS vqhud vqui vqsocial vqui_graphics vqrecord)
  target_include_directories(hud_controller_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
endif()
