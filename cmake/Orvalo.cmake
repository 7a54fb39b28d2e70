# Build rules shared by every folder.
#
# Two builds: WIN32 (cross-built 32-bit Windows; every deliverable, tests run
# under Wine) and native (only the platform-free libraries, with sanitizers).

include(CTest)

set(ORVALO_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

if(WIN32)
  set(ORVALO_DEPS "$ENV{DEPS_PREFIX}" CACHE PATH "prefix of the cross-built Windows libraries")
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
  # No libgcc, libstdc++ or winpthread DLLs travel with our binaries.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVALO_ROOT}/scripts/lib/wine-run)
else()
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -fno-omit-frame-pointer)
  option(ORVALO_SANITIZE "build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
  if(ORVALO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# googletest from Debian's source package, built with our compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# orvalo_test(<name> SOURCES ... LIBS ... [SERIAL] [LABELS ...] [TIMEOUT s])
# A googletest program; under Windows it runs through Wine.
function(orvalo_test name)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock vktestsupport)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL ON)
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()

# orvalo_script_test(<name> COMMAND ... [SERIAL] [TIMEOUT s] [LABELS ...])
# A test driven by a script on the build machine (starting Windows programs
# through scripts/lib/wine-run itself).
function(orvalo_script_test name)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "COMMAND;LABELS;ENV" ${ARGN})
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL ON)
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  set(env "ORVALO_BIN=${CMAKE_BINARY_DIR}/bin" "ORVALO_BUILD=${CMAKE_BINARY_DIR}" ${T_ENV})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
endfunction()
