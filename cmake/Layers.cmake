# How the libraries see each other. cmake/layers.txt orders the layers and the
# test `layering` holds every #include to it; the build adds what a compiler
# can enforce: a library sees the headers of its own directory and of the
# libraries it links, and no others.

# glimmora_headers(TARGET): TARGET's directory becomes visible, as the path it
# has below the project root, to TARGET and to whatever links it. The view is
# a directory of its own in the build tree holding a link to that one source
# directory; where the file system refuses links the project root is used.
function(glimmora_headers target)
  file(RELATIVE_PATH dir ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(view ${PROJECT_BINARY_DIR}/layers/${target})
  get_filename_component(parent ${view}/${dir} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(REMOVE ${view}/${dir})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${view}/${dir} RESULT failed SYMBOLIC)
  if(failed)
    message(STATUS "${target}: no symbolic links here (${failed}); the project root is its include path")
    set(view ${PROJECT_SOURCE_DIR})
  endif()
  target_include_directories(${target} PUBLIC ${view})
endfunction()

# glimmora_library(NAME SOURCES... [PUBLIC libs...] [PRIVATE libs...]): a
# static core library, standard C++ only. PUBLIC names the libraries its
# headers include; the others are PRIVATE.
function(glimmora_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "glimmora_library(${name}): unexpected ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  glimmora_headers(${name})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
