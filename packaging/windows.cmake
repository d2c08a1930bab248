# The Windows package of the script runner: `cpack -G ZIP` in a Windows build
# gives glimmora-cli-VERSION-win64.zip with the program, the licence and the
# runner's manual, both as text files with Windows line ends.
install(TARGETS glimmora-cli RUNTIME DESTINATION .)

function(glimmora_windows_text source name)
  file(READ ${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name} "${text}")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name} DESTINATION .)
endfunction()

if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  glimmora_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt)
endif()
glimmora_windows_text(${PROJECT_SOURCE_DIR}/docs/cli.md glimmora-cli.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/cli.md)

set(CPACK_GENERATOR "ZIP")
set(CPACK_PACKAGE_NAME "glimmora-cli")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "glimmora-cli-${PROJECT_VERSION}-win64")
set(CPACK_STRIP_FILES ON)
include(CPack)
