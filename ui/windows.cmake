# Window base, frame windows and panels (Windows).
if(WIN32)
  add_library(vqui STATIC CVQWindow.cpp CVQFrmWnd.cpp CVQLogo.cpp CVQDashboard.cpp
    CVQButton.cpp CVQImgButton.cpp CVQCheckBox.cpp CVQTextBox.cpp CVQScrollBarV.cpp
    CVQContact.cpp CVQListContacts.cpp CVQMsgBox.cpp
    CVQBrowseWnd.cpp CVQBrowsePlayWnd.cpp CVQBrowseDiWnd.cpp)
  target_include_directories(vqui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vqui PUBLIC vqui_graphics vqui_browse vqcodec vqhud_pixels vqhud vqsocial vkbase)
endif()

if(WIN32 AND BUILD_TESTING)
  # Controls and message boxes inside a running HUD over the in-memory frame.
  orvalo_test(ui_controls_test
    SOURCES tests/ControlsTest.cpp ${PROJECT_SOURCE_DIR}/hud/tests/FakeFrame.cpp $<TARGET_OBJECTS:vqui_images>
    LIBS vqhud vqui vqsocial vqui_graphics vqrecord)
  target_include_directories(ui_controls_test PRIVATE ${PROJECT_SOURCE_DIR}/hud/tests)
  # The dashboard's pages, signing in, enabling, keys, the logo and recording.
  orvalo_test(ui_dashboard_test
    SOURCES tests/DashboardTest.cpp ${PROJECT_SOURCE_DIR}/hud/tests/FakeFrame.cpp $<TARGET_OBJECTS:vqui_images>
    LIBS vqhud vqui vqsocial vqui_graphics vqrecord)
  target_include_directories(ui_dashboard_test PRIVATE ${PROJECT_SOURCE_DIR}/hud/tests)

  # Takes the encode hand-off as the desktop program would (the end-to-end run).
  add_executable(encode_standin tests/EncodeStandIn.cpp)
  target_link_libraries(encode_standin PRIVATE vqrecord vkbase)
  # The player's way through the dashboard in the sample game under Wine.
  orvalo_script_test(ui_dashboard_e2e_test
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/dashboard_e2e.py $<TARGET_FILE:proxy9>
            ${CMAKE_BINARY_DIR}/bin
    SERIAL TIMEOUT 900)
endif()

if(WIN32 AND BUILD_TESTING)
  # The recordings browser and players inside a running HUD, over folders,
  # videos and .di files the test writes itself.
  orvalo_test(ui_browse_test
    SOURCES tests/BrowseTest.cpp ${PROJECT_SOURCE_DIR}/hud/tests/FakeFrame.cpp $<TARGET_OBJECTS:vqui_images>
    LIBS vqhud vqui vqsocial vqui_graphics vqrecord vqcodec)
  target_include_directories(ui_browse_test PRIVATE ${PROJECT_SOURCE_DIR}/hud/tests)
endif()
