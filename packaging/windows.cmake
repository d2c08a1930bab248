# The Windows package: `cpack -G ZIP` in a Windows build gives
# glimmora-VERSION-win64.zip with the two programs, README-windows.txt, the
# licence with the notices of the libraries built into the programs, and the
# manual pages, all text files with Windows line ends.
foreach(program glimmora glimmora-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endif()
endforeach()

function(glimmora_windows_text text name)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name} "${text}")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name} DESTINATION .)
endfunction()

function(glimmora_windows_file source name)
  file(READ ${source} text)
  glimmora_windows_text("${text}" ${name})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

# The licence: ours, then, for a program with Qt or libusb built in, what
# their licences ask of a static build: their notices and where their source
# is had. The texts come from the source packages the libraries were built
# from (build_windows_deps.sh keeps them beside the libraries).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set(third_party)
if(GLIMMORA_GUI)
  list(APPEND third_party qt6-base)
endif()
if(GLIMMORA_LIBUSB)
  list(APPEND third_party libusb)
endif()
if(third_party)
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/windows-notices.txt notices)
  string(APPEND licence "\n\n${notices}")
  # The source packages and their versions, from the stamp the libraries
  # were built with (its last part, the recipe's hash, means nothing here).
  set(built_from "versions not recorded with the libraries")
  if(EXISTS "${GLIMMORA_WIN_DEPS}/stamp")
    file(READ "${GLIMMORA_WIN_DEPS}/stamp" built_from)
    string(REGEX REPLACE "; script [0-9a-f]+[\r\n]*$" "" built_from "${built_from}")
  endif()
  string(APPEND licence "\nBuilt from: ${built_from}\n")
  file(GLOB licence_files "${GLIMMORA_WIN_DEPS}/licenses/*")
  list(SORT licence_files)
  foreach(file ${licence_files})
    get_filename_component(name ${file} NAME)
    string(REGEX MATCH "^[^.]+" package "${name}")
    # Qt's commercial terms are not the terms it is used under here.
    if(NOT package IN_LIST third_party OR name MATCHES "Commercial")
      continue()
    endif()
    file(READ ${file} text)
    string(APPEND licence "\n\n==================== ${name} ====================\n\n${text}")
  endforeach()
endif()
# nlohmann-json, header-only, is compiled into both programs: its notice as
# the package whose headers the build took gives it (cmake/Json.cmake).
if(EXISTS /usr/share/doc/nlohmann-json3-dev/copyright)
  file(READ /usr/share/doc/nlohmann-json3-dev/copyright json_notice)
  string(APPEND licence "\n\n==================== nlohmann-json (JSON for Modern C++) ====================\n\n${json_notice}")
endif()
glimmora_windows_text("${licence}" LICENSE.txt)

glimmora_windows_file(${CMAKE_CURRENT_SOURCE_DIR}/README-windows.txt README-windows.txt)
glimmora_windows_file(${CMAKE_CURRENT_SOURCE_DIR}/qxb40218-registers.json qxb40218-registers.json)
glimmora_windows_file(${PROJECT_SOURCE_DIR}/docs/registers.md registers.txt)
glimmora_windows_file(${PROJECT_SOURCE_DIR}/docs/cli.md glimmora-cli.txt)
if(GLIMMORA_GUI)
  glimmora_windows_file(${PROJECT_SOURCE_DIR}/docs/man/glimmora.md glimmora.txt)
endif()

set(CPACK_GENERATOR "ZIP")
set(CPACK_PACKAGE_NAME "glimmora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "glimmora-${PROJECT_VERSION}-win64")
set(CPACK_STRIP_FILES ON)
include(CPack)
