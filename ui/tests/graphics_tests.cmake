# Tests of the canvas, the PNG reader and the pictures (included by ../graphics.cmake).
orvalo_test(ui_png_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/CVKPNGTest.cpp LIBS vqui_png orvalo::zlib)

if(WIN32)
  set(VQUI_TEST_IMAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/test-images)
  set(VQUI_TEST_IMAGES)
  foreach(id 9001 9002 9003 9004 9005)
    list(APPEND VQUI_TEST_IMAGES ${VQUI_TEST_IMAGE_DIR}/test${id}.png)
  endforeach()
  add_custom_command(OUTPUT ${VQUI_TEST_IMAGES}
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/images/make_images.py --test ${VQUI_TEST_IMAGE_DIR}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/images/make_images.py
    COMMENT "Drawing the canvas tests' pictures")
  add_custom_target(vqui_test_image_files DEPENDS ${VQUI_TEST_IMAGES})
  set_source_files_properties(tests/VQTestImages.rc PROPERTIES OBJECT_DEPENDS "${VQUI_TEST_IMAGES}"
                              INCLUDE_DIRECTORIES ${VQUI_TEST_IMAGE_DIR})

  orvalo_test(ui_graphics_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/CVQGraphicsTest.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/VQTestImages.rc
            $<TARGET_OBJECTS:vqui_images>
    LIBS vqui_graphics)
  target_include_directories(ui_graphics_test PRIVATE ${VQUI_TEST_IMAGE_DIR})
  add_dependencies(ui_graphics_test vqui_test_image_files vqui_image_files)
endif()
