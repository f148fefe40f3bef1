# The library's own code: static libraries per subsystem, linked into the module.

include(GNUInstallDirs)

add_library(oxa_base STATIC
  src/base/byte_string.cpp
  src/base/double_byte.cpp
  src/base/ptr_array.cpp
  src/base/simple_buffer.cpp
  src/base/dll_access_paths.cpp
  src/entry/module_objects.cpp)
target_include_directories(oxa_base PUBLIC ${PROJECT_SOURCE_DIR}/src)
if(WIN32)
  target_link_libraries(oxa_base PUBLIC user32)  # GetSystemMetrics, CharNextA
endif()
set_target_properties(oxa_base PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
oxa_warnings(oxa_base)

add_library(oxa_compiler STATIC
  src/compiler/string_interner.cpp
  src/compiler/findings.cpp
  src/compiler/element_node.cpp
  src/compiler/node_arena.cpp
  src/compiler/string_index_log.cpp
  src/compiler/attribute_ordering.cpp
  src/compiler/tree_builder.cpp
  src/compiler/layout_insertion.cpp
  src/compiler/chunk_writer.cpp
  src/compiler/document_writer.cpp)
target_link_libraries(oxa_compiler PUBLIC oxa_base)
set_target_properties(oxa_compiler PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
oxa_warnings(oxa_compiler)
target_sources(oxa_compiler PRIVATE src/compiler/xml_compiler.cpp)
target_sources(oxa_base PRIVATE src/com/object_frame.cpp)

add_library(oxa_plugin STATIC
  src/plugin/component_plugin_base.cpp
  src/plugin/compiler_plugin.cpp)
target_link_libraries(oxa_plugin PUBLIC oxa_compiler)
set_target_properties(oxa_plugin PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
oxa_warnings(oxa_plugin)

# The loadable module: exactly the three exports, every other symbol local.
add_library(deva3201 MODULE src/entry/exports.cpp src/entry/dll_main.cpp)
target_link_libraries(deva3201 PRIVATE oxa_plugin)
set_target_properties(deva3201 PROPERTIES PREFIX "" OUTPUT_NAME deva3201
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
if(WIN32)
  # Exports by name and ordinal from the module-definition file; version resource.
  enable_language(RC)
  target_sources(deva3201 PRIVATE src/entry/deva3201.def src/entry/version.rc)
  target_link_libraries(deva3201 PRIVATE user32)
else()
  set_target_properties(deva3201 PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/src/entry/deva3201.map)
  target_link_options(deva3201 PRIVATE "LINKER:--version-script=${PROJECT_SOURCE_DIR}/src/entry/deva3201.map")
  if(NOT OXA_FUZZ)  # clang's sanitizer runtime is linked into executables only
    target_link_options(deva3201 PRIVATE "LINKER:--no-undefined")
  endif()
endif()
oxa_warnings(deva3201)

set_target_properties(deva3201 PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

if(WIN32)
  # The DLL as shipped, in <build>/release: stripped, with its debug
  # information in deva3201.dll.debug beside it, named by a .gnu_debuglink
  # section so that debuggers find it.
  set(release_dir ${PROJECT_BINARY_DIR}/release)
  file(MAKE_DIRECTORY ${release_dir})
  add_custom_command(
    OUTPUT ${release_dir}/deva3201.dll ${release_dir}/deva3201.dll.debug
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:deva3201> ${release_dir}/deva3201.dll.debug
    COMMAND ${CMAKE_STRIP} --strip-all -o ${release_dir}/deva3201.dll.tmp $<TARGET_FILE:deva3201>
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=deva3201.dll.debug deva3201.dll.tmp
    COMMAND ${CMAKE_COMMAND} -E rename deva3201.dll.tmp deva3201.dll
    DEPENDS deva3201
    WORKING_DIRECTORY ${release_dir}
    COMMENT "Stripping deva3201.dll into release/, its debug information beside it"
    VERBATIM)
  add_custom_target(release_dll ALL DEPENDS ${release_dir}/deva3201.dll ${release_dir}/deva3201.dll.debug)
endif()

# The reader of compiled documents, for hosts; it needs nothing else.
add_library(oxa_reader STATIC host/document_reader.cpp)
target_include_directories(oxa_reader PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}> $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(oxa_reader PUBLIC cxx_std_20)
set_target_properties(oxa_reader PROPERTIES EXPORT_NAME reader)
oxa_warnings(oxa_reader)

if(OXA_BUILD_HOST)
  # The reference host: real objects behind the framework's interfaces, on expat.
  find_package(EXPAT REQUIRED)
  find_package(Threads REQUIRED)
  add_library(oxa_host STATIC
    host/host_objects.cpp
    host/event_recording.cpp
    host/expat_parser.cpp
    host/iconv_encoding.cpp
    host/plugin_host.cpp)
  target_include_directories(oxa_host PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src> $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_features(oxa_host PUBLIC cxx_std_20)
  # Where the module is when none is found beside the program: the build's own
  # module in-tree (consumers of the installed package get the installed one
  # from OxaHostConfig.cmake), and the configured install location otherwise.
  target_compile_definitions(oxa_host
    PUBLIC $<BUILD_INTERFACE:OXA_INSTALLED_PLUGIN="$<TARGET_FILE:deva3201>">
    PRIVATE OXA_CONFIGURED_PLUGIN="${CMAKE_INSTALL_FULL_LIBDIR}/xmlcompiler/deva3201.so")
  target_link_libraries(oxa_host PUBLIC EXPAT::EXPAT ${CMAKE_DL_LIBS})
  oxa_warnings(oxa_host)

  # xmlc dump's renderings of compiled documents (JSON through nlohmann-json).
  find_package(nlohmann_json 3 REQUIRED)
  add_library(oxa_tools STATIC tools/compiled_document.cpp)
  target_include_directories(oxa_tools PUBLIC ${PROJECT_SOURCE_DIR}/tools)
  target_link_libraries(oxa_tools PUBLIC oxa_reader PRIVATE nlohmann_json::nlohmann_json)
  oxa_warnings(oxa_tools)

  add_executable(xmlc tools/xmlc.cpp tools/diagnostics.cpp)
  target_link_libraries(xmlc PRIVATE oxa_host oxa_tools Threads::Threads)
  target_include_directories(xmlc PRIVATE ${PROJECT_SOURCE_DIR}/tools)
  set_target_properties(xmlc PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  add_dependencies(xmlc deva3201)
  oxa_warnings(xmlc)

  # The package's names in-tree, for projects that add this one as a subdirectory.
  add_library(OxaHost::oxa_host ALIAS oxa_host)
  add_library(OxaHost::reader ALIAS oxa_reader)
  add_library(OxaHost::plugin ALIAS deva3201)
  add_executable(OxaHost::xmlc ALIAS xmlc)
  include(${PROJECT_SOURCE_DIR}/cmake/OxaHostLayouts.cmake)
endif()

include(cmake/Install.cmake)

