# Warnings for our own targets; third-party headers come in as system headers.
add_compile_options(-Wall -Wextra -Wpedantic)
# GCC 12 reports std::string assignments as overlapping memcpy (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
# In a unity build each source file is included into the unit, so GCC takes it
# for a header and warns of a test class whose member uses a type of the
# file's anonymous namespace; the file-by-file build keeps the check.
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wno-subobject-linkage)
endif()
if(GLIMMORA_WERROR)
  add_compile_options(-Werror)
endif()
