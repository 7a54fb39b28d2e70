# The chosen libraries as imported targets:
#   orvalo::ffmpeg (avcodec, avformat, avutil, swscale, swresample),
#   orvalo::png, orvalo::jpeg, orvalo::zlib.
# Windows: the cross-built ones under ORVALO_DEPS (scripts/setup makes them).
# Native: Debian's packages.

if(WIN32)
  if(NOT ORVALO_DEPS OR NOT EXISTS "${ORVALO_DEPS}/include/zlib.h")
    message(FATAL_ERROR "ORVALO_DEPS (${ORVALO_DEPS}) has no libraries: run scripts/setup")
  endif()
  function(orvalo_import name lib)
    add_library(${name} UNKNOWN IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION "${ORVALO_DEPS}/lib/${lib}"
                          INTERFACE_INCLUDE_DIRECTORIES "${ORVALO_DEPS}/include")
  endfunction()
  orvalo_import(orvalo_zlib libz.a)
  orvalo_import(orvalo_png libpng16.a)
  orvalo_import(orvalo_jpeg libjpeg.a)
  set_property(TARGET orvalo_png PROPERTY INTERFACE_LINK_LIBRARIES orvalo_zlib)
  # The FFmpeg DLLs are delay-loaded: a game whose folder lacks them still
  # starts, and they are loaded when a recorder, encoder or decoder first
  # needs them (InitCodecLibrary checks that they can be). The delay-load
  # import libraries are made from the DLLs' export lists.
  string(REGEX REPLACE "g\\+\\+(-posix)?$" "dlltool" ORVALO_DLLTOOL "${CMAKE_CXX_COMPILER}")
  set(delaydir "${CMAKE_BINARY_DIR}/delayload")
  file(MAKE_DIRECTORY "${delaydir}")
  add_library(orvalo_ffmpeg INTERFACE)
  foreach(lib avformat avcodec swscale swresample avutil)
    file(GLOB def "${ORVALO_DEPS}/lib/${lib}-*.def")
    if(NOT def)
      message(FATAL_ERROR "${ORVALO_DEPS}/lib has no export list of ${lib}: run scripts/setup")
    endif()
    get_filename_component(dll "${def}" NAME_WE)
    set(delaylib "${delaydir}/lib${lib}.delay.a")
    if(NOT EXISTS "${delaylib}" OR "${def}" IS_NEWER_THAN "${delaylib}")
      execute_process(COMMAND ${ORVALO_DLLTOOL} --input-def "${def}" --dllname "${dll}.dll"
                              --output-delaylib "${delaylib}" RESULT_VARIABLE rc)
      if(rc)
        message(FATAL_ERROR "${ORVALO_DLLTOOL} could not make ${delaylib}")
      endif()
    endif()
    add_library(orvalo_${lib} UNKNOWN IMPORTED GLOBAL)
    set_target_properties(orvalo_${lib} PROPERTIES IMPORTED_LOCATION "${delaylib}"
                          INTERFACE_INCLUDE_DIRECTORIES "${ORVALO_DEPS}/include")
    target_link_libraries(orvalo_ffmpeg INTERFACE orvalo_${lib})
  endforeach()
  # The FFmpeg DLLs sit beside every program that may load them.
  file(GLOB ORVALO_FFMPEG_DLLS "${ORVALO_DEPS}/bin/*.dll")
  file(COPY ${ORVALO_FFMPEG_DLLS} DESTINATION ${CMAKE_BINARY_DIR}/bin)
  set(ORVALO_FFMPEG_DLLS ${ORVALO_FFMPEG_DLLS} CACHE INTERNAL "FFmpeg DLLs")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ORVALO_FF REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
  pkg_check_modules(ORVALO_PNG REQUIRED IMPORTED_TARGET libpng)
  pkg_check_modules(ORVALO_ZLIB REQUIRED IMPORTED_TARGET zlib)
  pkg_check_modules(ORVALO_JPEG REQUIRED IMPORTED_TARGET libjpeg)
  add_library(orvalo_ffmpeg INTERFACE)
  target_link_libraries(orvalo_ffmpeg INTERFACE PkgConfig::ORVALO_FF)
  add_library(orvalo_png INTERFACE)
  target_link_libraries(orvalo_png INTERFACE PkgConfig::ORVALO_PNG)
  add_library(orvalo_zlib INTERFACE)
  target_link_libraries(orvalo_zlib INTERFACE PkgConfig::ORVALO_ZLIB)
  add_library(orvalo_jpeg INTERFACE)
  target_link_libraries(orvalo_jpeg INTERFACE PkgConfig::ORVALO_JPEG)
endif()
add_library(orvalo::ffmpeg ALIAS orvalo_ffmpeg)
add_library(orvalo::png ALIAS orvalo_png)
add_library(orvalo::zlib ALIAS orvalo_zlib)
add_library(orvalo::jpeg ALIAS orvalo_jpeg)
