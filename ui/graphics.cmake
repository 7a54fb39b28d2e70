# ---- Canvas, drawing tools, PNG decoding and the HUD's pictures -------------
# The PNG reader is platform-free and also built natively (tests under the
# sanitizers); the GDI canvas and the resources are Windows-only.
add_library(vqui_png STATIC CVKPNG.cpp)
target_include_directories(vqui_png PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vqui_png PUBLIC orvalo::png)

# The pictures are drawn by a script into the build tree at build time.
set(VQUI_IMAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/images)
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/images/VQImages.rc VQUI_IMAGE_LINES REGEX "BINDATA")
set(VQUI_IMAGES)
foreach(line ${VQUI_IMAGE_LINES})
  string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
  list(APPEND VQUI_IMAGES ${VQUI_IMAGE_DIR}/${CMAKE_MATCH_1})
endforeach()
add_custom_command(OUTPUT ${VQUI_IMAGES}
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/images/make_images.py ${VQUI_IMAGE_DIR}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/images/make_images.py ${CMAKE_CURRENT_SOURCE_DIR}/VQKeyTable.inc
  COMMENT "Drawing the HUD's pictures")
add_custom_target(vqui_image_files DEPENDS ${VQUI_IMAGES})

if(WIN32)
  add_library(vqui_graphics STATIC VQResource.cpp CVKDib.cpp CVQGraphics.cpp CVQSolidBrush.cpp CVQPen.cpp)
  target_include_directories(vqui_graphics PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(vqui_graphics PUBLIC vqui_png vqhud_pixels vkbase gdi32)

  # The pictures as resources of type "BINDATA". An object library, so that
  # every module linking it (the proxy library, test programs) carries them.
  add_library(vqui_images OBJECT images/VQImages.rc)
  target_include_directories(vqui_images PRIVATE ${VQUI_IMAGE_DIR})
  set_source_files_properties(images/VQImages.rc PROPERTIES OBJECT_DEPENDS "${VQUI_IMAGES}")
  add_dependencies(vqui_images vqui_image_files)
endif()

if(BUILD_TESTING)
  include(${CMAKE_CURRENT_SOURCE_DIR}/tests/graphics_tests.cmake)
endif()
# ---- end of canvas and pictures ---------------------------------------------
