# The library's own code: static libraries per subsystem, linked into the module.

add_library(oxa_base STATIC
  src/base/byte_string.cpp
  src/base/double_byte.cpp
  src/base/ptr_array.cpp
  src/base/simple_buffer.cpp
  src/base/dll_access_paths.cpp
  src/entry/module_objects.cpp)
target_include_directories(oxa_base PUBLIC ${PROJECT_SOURCE_DIR}/src)
set_target_properties(oxa_base PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
oxa_warnings(oxa_base)

add_library(oxa_compiler STATIC
  src/compiler/string_interner.cpp
  src/compiler/element_node.cpp
  src/compiler/tree_builder.cpp
  src/compiler/layout_insertion.cpp
  src/compiler/chunk_writer.cpp
  src/compiler/document_writer.cpp)
target_link_libraries(oxa_compiler PUBLIC oxa_base)
set_target_properties(oxa_compiler PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
oxa_warnings(oxa_compiler)
