# Recordings browser: the rules of the list and the players, the .di reader
# and the key table. Platform-free, so also built natively (tests under the
# sanitizers); the windows themselves are in windows.cmake.
add_library(vqui_browse STATIC VQBrowseRules.cpp CVQDiReader.cpp VQKeyTable.cpp)
target_include_directories(vqui_browse PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vqui_browse PUBLIC vkbase)

if(BUILD_TESTING)
  orvalo_test(ui_browse_rules_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/BrowseRulesTest.cpp LIBS vqui_browse)
endif()
