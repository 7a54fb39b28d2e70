# The Windows side: the support layer, the program OrvaloHUDDesktop.exe and
# its elevated helper DllPlacer.exe.

set(DESKTOP_IMAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/images)
set(DESKTOP_IMAGES app.ico signedout.ico refresh.ico account.ico add.ico config.ico play.ico videos.ico
    logo.bmp splash.bmp side.bmp defaultbox.bmp)
list(TRANSFORM DESKTOP_IMAGES PREPEND ${DESKTOP_IMAGE_DIR}/ OUTPUT_VARIABLE DESKTOP_IMAGE_FILES)
add_custom_command(OUTPUT ${DESKTOP_IMAGE_FILES}
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/images/make_desktop_images.py ${DESKTOP_IMAGE_DIR}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/images/make_desktop_images.py
  COMMENT "Drawing the desktop program's pictures")
add_custom_target(desktop_images DEPENDS ${DESKTOP_IMAGE_FILES})

# The Win32 support of the desktop program and its helper.
add_library(vkdesktop_win STATIC
  win/CVKDialog.cpp win/CVKInternet.cpp win/CVKInternetFetcher.cpp win/CVKInstallerDownload.cpp win/VKJpegBitmap.cpp win/CVKWinFileSystem.cpp win/VKWinRegistry.cpp win/VKDesktopShell.cpp
  win/CVKJobWorker.cpp win/CVKWaveOutSink.cpp win/VKRecordingFiles.cpp)
target_include_directories(vkdesktop_win PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/win)
target_link_libraries(vkdesktop_win PUBLIC vkdesktop_core vkdesktop_media vqnet wininet shell32 version comctl32 ole32 winmm)

# The program's windows (everything but its entry, so tests can drive them).
add_library(vkdesktop_app STATIC
  app/AboutDialog.cpp app/AddFriendDialog.cpp app/AddGameDialog.cpp app/ChatWindow.cpp app/DesktopPage.cpp app/FriendsPage.cpp app/DesktopStartup.cpp app/GamesPage.cpp
  app/HudConfigDialog.cpp app/MainWindow.cpp app/OptionsDialog.cpp app/PageToolbar.cpp app/SignInPage.cpp app/UpdateDialog.cpp
  app/UploadsPage.cpp app/RecordingsPage.cpp app/RecPlayerWindow.cpp app/EncodeDialog.cpp app/UploadDialog.cpp)
target_include_directories(vkdesktop_app PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/app)
target_link_libraries(vkdesktop_app PUBLIC vkdesktop_win comdlg32 winmm gdi32 user32)

add_executable(OrvaloHUDDesktop WIN32 app/DesktopMain.cpp app/Desktop.rc)
target_link_libraries(OrvaloHUDDesktop PRIVATE vkdesktop_app)
target_include_directories(OrvaloHUDDesktop PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app ${DESKTOP_IMAGE_DIR})
set_source_files_properties(app/Desktop.rc PROPERTIES OBJECT_DEPENDS
  "${DESKTOP_IMAGE_FILES};${CMAKE_CURRENT_SOURCE_DIR}/app/desktop.manifest;${CMAKE_CURRENT_SOURCE_DIR}/app/resource.h")
add_dependencies(OrvaloHUDDesktop desktop_images)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${DESKTOP_IMAGE_DIR} -I${CMAKE_CURRENT_SOURCE_DIR}/app")

add_executable(DllPlacer WIN32 placer/DllPlacer.cpp)
target_link_libraries(DllPlacer PRIVATE vkdesktop_win)

add_subdirectory(bench)
