# nlohmann-json, header-only, reads register description files (i2c/).
# A native build takes the system's package. The cross build to Windows takes
# the build machine's headers too, which are plain C++, but copied into a
# folder of their own: the folder they live in holds the machine's C library
# headers, which must never come before MinGW's.
if(CMAKE_CROSSCOMPILING AND WIN32)
  find_path(GLIMMORA_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT GLIMMORA_JSON_INCLUDE)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/setup.sh)")
  endif()
  set(json_copy ${PROJECT_BINARY_DIR}/external/json)
  file(COPY ${GLIMMORA_JSON_INCLUDE}/nlohmann DESTINATION ${json_copy})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${json_copy})
else()
  find_package(nlohmann_json 3.11 REQUIRED)
endif()
