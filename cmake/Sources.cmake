# The library's own code: static libraries per subsystem, linked into the module.

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
  src/compiler/id_log.cpp
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

set_target_properties(deva3201 PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(OXA_BUILD_HOST)
  # The reference host: real objects behind the framework's interfaces, on expat.
  include(GNUInstallDirs)
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
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/xmlcompiler>)
  target_link_libraries(oxa_host PUBLIC EXPAT::EXPAT ${CMAKE_DL_LIBS})
  oxa_warnings(oxa_host)

  # The compiled-document decoder and its renderings (JSON through nlohmann-json).
  find_package(nlohmann_json 3 REQUIRED)
  add_library(oxa_tools STATIC tools/compiled_document.cpp)
  target_include_directories(oxa_tools PUBLIC ${PROJECT_SOURCE_DIR}/tools)
  target_link_libraries(oxa_tools PRIVATE nlohmann_json::nlohmann_json)
  oxa_warnings(oxa_tools)

  add_executable(xmlc tools/xmlc.cpp tools/diagnostics.cpp)
  target_link_libraries(xmlc PRIVATE oxa_host oxa_tools Threads::Threads)
  target_include_directories(xmlc PRIVATE ${PROJECT_SOURCE_DIR}/tools)
  set_target_properties(xmlc PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_dependencies(xmlc deva3201)
  oxa_warnings(xmlc)
endif()

# Installation: the module, the tool, and the host library as a CMake package
# (find_package(OxaHost) gives OxaHost::oxa_host).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
install(TARGETS deva3201 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/xmlcompiler)
if(OXA_BUILD_HOST)
  install(TARGETS xmlc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS oxa_host EXPORT OxaHostTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES host/host_objects.h host/expat_parser.h host/iconv_encoding.h host/plugin_host.h
                host/event_recording.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/xmlcompiler/host)
  install(FILES src/com/platform.h src/com/result.h src/com/guid.h src/com/unknown.h src/com/buffer.h
                src/com/host.h src/com/plugin_interfaces.h src/com/com_ptr.h src/com/boundary.h
                src/com/interface_table.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/xmlcompiler/com)
  install(EXPORT OxaHostTargets NAMESPACE OxaHost:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
  configure_package_config_file(cmake/OxaHostConfig.cmake.in ${CMAKE_BINARY_DIR}/OxaHostConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/OxaHostConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/OxaHostConfig.cmake ${CMAKE_BINARY_DIR}/OxaHostConfigVersion.cmake
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
endif()
