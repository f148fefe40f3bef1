# Every target of the project: one static library per folder of src/,
# linked into the module; the module itself, with its Windows version
# resource and the stripped DLL as shipped; the host, the reader, the
# diagnostics library and xmlc around it; and the package's names for
# projects that add this one as a subdirectory. Each target's dependencies
# are the arrows between the folders. Installation is cmake/Install.cmake's.

include(GNUInstallDirs)

# The component model's public headers (include/xmlcompiler/com, host and
# format), which every other target and every consumer reads.
add_library(oxa_interfaces INTERFACE)
target_include_directories(oxa_interfaces INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(oxa_interfaces INTERFACE cxx_std_20)
set_target_properties(oxa_interfaces PROPERTIES EXPORT_NAME interfaces)

# The private headers of src/, reached as "folder/name.h": by the libraries
# of src/ themselves, and by what links this target on purpose (the tests,
# the fuzzers, the benchmarks, and xmlc's suggestions for the edit distance).
add_library(oxa_private_headers INTERFACE)
target_include_directories(oxa_private_headers INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>)

# oxa_library(NAME SOURCES... DEPENDS targets...): the static library of one
# folder of src/.
function(oxa_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC oxa_interfaces ${ARG_DEPENDS})
  oxa_defaults(${name})
endfunction()

oxa_library(oxa_base SOURCES
  src/base/byte_string.cpp
  src/base/edit_distance.cpp
  src/base/double_byte.cpp
  src/base/ptr_array.cpp
  src/base/dll_access_paths.cpp
  src/base/huge_pages.cpp)
if(WIN32)
  target_link_libraries(oxa_base PUBLIC user32)  # GetSystemMetrics, CharNextA
endif()

# The module's static objects (the access path registry and the shared empty
# string, built in that order). The base refers to the shared empty string, so
# every program that links the base links these definitions; only the link
# runs back up, no include does.
oxa_library(oxa_entry SOURCES src/entry/module_objects.cpp DEPENDS oxa_base)
target_link_libraries(oxa_base INTERFACE oxa_entry)

oxa_library(oxa_com SOURCES
  src/com/object_frame.cpp
  src/com/simple_buffer.cpp)

# The compiled format and its reader: the one piece of knowledge that the
# writer and the hosts share. It needs nothing else of the library.
oxa_library(oxa_format SOURCES src/format/document_reader.cpp)
set_target_properties(oxa_format PROPERTIES OUTPUT_NAME oxa_reader EXPORT_NAME reader)

oxa_library(oxa_compiler
  SOURCES
    src/compiler/string_interner.cpp
    src/compiler/findings.cpp
    src/compiler/element_node.cpp
    src/compiler/node_arena.cpp
    src/compiler/string_index_log.cpp
    src/compiler/attribute_ordering.cpp
    src/compiler/census_order.cpp
    src/compiler/tree_builder.cpp
    src/compiler/layout_insertion.cpp
    src/compiler/chunk_writer.cpp
    src/compiler/document_writer.cpp
    src/compiler/xml_compiler.cpp
  DEPENDS oxa_base oxa_com oxa_format)

oxa_library(oxa_plugin
  SOURCES
    src/plugin/component_plugin_base.cpp
    src/plugin/compiler_plugin.cpp
  DEPENDS oxa_compiler)
target_compile_definitions(oxa_plugin PUBLIC OXA_COPYRIGHT="${OXA_COPYRIGHT}")

# The loadable module: exactly the three exports, every other symbol local.
add_library(deva3201 MODULE src/entry/exports.cpp src/entry/dll_main.cpp)
target_link_libraries(deva3201 PRIVATE oxa_plugin oxa_private_headers)
set_target_properties(deva3201 PROPERTIES PREFIX "" OUTPUT_NAME deva3201)
if(WIN32)
  # Exports by name and ordinal from the module-definition file; version resource.
  enable_language(RC)
  configure_file(src/entry/version.rc.in ${PROJECT_BINARY_DIR}/version.rc @ONLY)
  target_sources(deva3201 PRIVATE src/entry/deva3201.def ${PROJECT_BINARY_DIR}/version.rc)
  target_link_libraries(deva3201 PRIVATE user32)
else()
  set_target_properties(deva3201 PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/src/entry/deva3201.map)
  target_link_options(deva3201 PRIVATE "LINKER:--version-script=${PROJECT_SOURCE_DIR}/src/entry/deva3201.map")
  if(NOT OXA_FUZZ)  # clang's sanitizer runtime is linked into executables only
    target_link_options(deva3201 PRIVATE "LINKER:--no-undefined")
  endif()
endif()
oxa_defaults(deva3201)

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
  # The version its resource carries, for the checks of the DLL as shipped.
  file(WRITE ${release_dir}/version "${PROJECT_VERSION}.${OXA_DLL_BUILD}\n")
endif()

if(OXA_BUILD_HOST)
  # The reference host: real objects behind the framework's interfaces, on
  # expat. What differs by system is one file each: module loading and the
  # legacy encodings.
  if(WIN32)
    include(${PROJECT_SOURCE_DIR}/cmake/MingwSource.cmake)
    set(host_platform host/module_windows.cpp host/legacy_encoding_windows.cpp host/windows_text.cpp)
  else()
    find_package(EXPAT REQUIRED)
    set(host_platform host/module_posix.cpp host/legacy_encoding_iconv.cpp)
  endif()
  find_package(Threads REQUIRED)
  add_library(oxa_host STATIC
    host/host_objects.cpp
    host/event_recording.cpp
    host/expat_parser.cpp
    host/legacy_encoding.cpp
    host/plugin_host.cpp
    ${host_platform})
  target_include_directories(oxa_host PRIVATE ${PROJECT_SOURCE_DIR})
  # Where the module is when none is found beside the program: the build's own
  # module in-tree (consumers of the installed package get the installed one
  # from OxaHostConfig.cmake), and the configured install location otherwise.
  # On Windows none: a program is deployed with its DLLs, and no path of the
  # building machine goes into a shipped library or program.
  if(NOT WIN32)
    target_compile_definitions(oxa_host
      PUBLIC $<BUILD_INTERFACE:OXA_INSTALLED_PLUGIN="$<TARGET_FILE:deva3201>">
      PRIVATE OXA_CONFIGURED_PLUGIN="${CMAKE_INSTALL_FULL_LIBDIR}/xmlcompiler/deva3201${CMAKE_SHARED_MODULE_SUFFIX}")
  endif()
  target_link_libraries(oxa_host PUBLIC oxa_interfaces EXPAT::EXPAT ${CMAKE_DL_LIBS})
  if(WIN32)
    # A program built against the package starts on a Windows without
    # MinGW: the C++ runtime and winpthreads are linked in, whatever the
    # program's own toolchain file says.
    target_link_options(oxa_host INTERFACE -static)
  endif()
  oxa_defaults(oxa_host)

  # nlohmann-json as oxa_json. The package's include folder is the build
  # machine's /usr/include, which a cross build must not search: there it
  # gets a folder holding nlohmann's headers alone.
  find_package(nlohmann_json 3 REQUIRED)
  add_library(oxa_json INTERFACE)
  if(CMAKE_CROSSCOMPILING)
    get_target_property(json_include nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
    list(GET json_include 0 json_include)
    file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/json-include)
    file(CREATE_LINK "${json_include}/nlohmann" "${PROJECT_BINARY_DIR}/json-include/nlohmann" SYMBOLIC)
    target_include_directories(oxa_json SYSTEM INTERFACE ${PROJECT_BINARY_DIR}/json-include)
  else()
    target_link_libraries(oxa_json INTERFACE nlohmann_json::nlohmann_json)
  endif()

  # The rooms of tools/, one target each, reached as "room/name.h":
  #   text         UTF-8 and display widths (utf8proc)
  #   diagnostics  the findings engine: records, no platform, colour or JSON
  #   render       the findings as gcc's text, JSON and SARIF
  #   platform     what differs by system, and file I/O
  #   dump         renderings of compiled documents
  #   xmlc         the commands
  find_path(UTF8PROC_INCLUDE_DIR utf8proc.h)
  find_library(UTF8PROC_LIBRARY NAMES utf8proc)
  if(NOT UTF8PROC_INCLUDE_DIR OR NOT UTF8PROC_LIBRARY)
    message(FATAL_ERROR "utf8proc is missing: run scripts/bootstrap")
  endif()
  add_library(oxa_text STATIC tools/text/utf8.cpp)
  target_include_directories(oxa_text PUBLIC ${PROJECT_SOURCE_DIR}/tools)
  target_include_directories(oxa_text SYSTEM PRIVATE ${UTF8PROC_INCLUDE_DIR})
  target_compile_definitions(oxa_text PRIVATE UTF8PROC_STATIC)
  target_link_libraries(oxa_text PRIVATE ${UTF8PROC_LIBRARY})
  oxa_defaults(oxa_text)

  # The engine reads documents through the host (the second parse, the
  # legacy encodings); the guess at an undeclared encoding comes from
  # uchardet where the build has it.
  find_path(UCHARDET_INCLUDE_DIR uchardet.h PATH_SUFFIXES uchardet)
  find_library(UCHARDET_LIBRARY NAMES uchardet)
  add_library(oxa_diagnostics STATIC
    tools/diagnostics/diagnostics.cpp
    tools/diagnostics/xml_errors.cpp
    tools/diagnostics/markup.cpp
    tools/diagnostics/source_text.cpp
    tools/diagnostics/encoding_evidence.cpp
    tools/diagnostics/html_entities.cpp
    tools/diagnostics/finding_kinds.cpp
    tools/diagnostics/warning_policy.cpp
    tools/diagnostics/suggestions.cpp
    tools/diagnostics/wording.cpp)
  if(UCHARDET_INCLUDE_DIR AND UCHARDET_LIBRARY)
    target_sources(oxa_diagnostics PRIVATE tools/diagnostics/encoding_detector_uchardet.cpp)
    target_include_directories(oxa_diagnostics SYSTEM PRIVATE ${UCHARDET_INCLUDE_DIR})
    target_link_libraries(oxa_diagnostics PRIVATE ${UCHARDET_LIBRARY})
  else()
    message(STATUS "uchardet not found: xmlc guesses undeclared encodings from the bytes alone")
    target_sources(oxa_diagnostics PRIVATE tools/diagnostics/encoding_detector_none.cpp)
  endif()
  target_link_libraries(oxa_diagnostics PUBLIC oxa_host oxa_text PRIVATE oxa_base oxa_private_headers)
  oxa_defaults(oxa_diagnostics)

  add_library(oxa_render STATIC tools/render/text.cpp tools/render/structured.cpp)
  target_link_libraries(oxa_render PUBLIC oxa_diagnostics PRIVATE oxa_text oxa_json)
  oxa_defaults(oxa_render)

  if(WIN32)
    add_library(oxa_platform STATIC tools/platform/platform_windows.cpp)
    target_include_directories(oxa_platform PRIVATE ${PROJECT_SOURCE_DIR})  # host/windows_text.h
    target_link_libraries(oxa_platform PRIVATE oxa_host shell32)
    # The C runtime declares _fileno, _setmode and _wfopen only outside strict ISO C++.
    set_target_properties(oxa_platform PROPERTIES CXX_EXTENSIONS ON)
  else()
    add_library(oxa_platform STATIC tools/platform/platform_posix.cpp)
  endif()
  target_sources(oxa_platform PRIVATE tools/platform/paths.cpp tools/platform/file_io.cpp)
  target_include_directories(oxa_platform PUBLIC ${PROJECT_SOURCE_DIR}/tools)
  target_link_libraries(oxa_platform PUBLIC oxa_interfaces Threads::Threads)
  oxa_defaults(oxa_platform)

  # xmlc dump's renderings (JSON through nlohmann-json), over the format's reader.
  add_library(oxa_dump STATIC tools/dump/compiled_document.cpp)
  target_include_directories(oxa_dump PUBLIC ${PROJECT_SOURCE_DIR}/tools)
  target_link_libraries(oxa_dump PUBLIC oxa_format PRIVATE oxa_text oxa_json oxa_private_headers)
  oxa_defaults(oxa_dump)

  add_executable(xmlc
    tools/xmlc/xmlc.cpp
    tools/xmlc/command_line.cpp
    tools/xmlc/compile_command.cpp
    tools/xmlc/dump_command.cpp
    tools/xmlc/record_command.cpp
    tools/xmlc/info_command.cpp)
  if(WIN32)
    # xmlc.exe's own version resource.
    configure_file(tools/xmlc/xmlc.rc.in ${PROJECT_BINARY_DIR}/xmlc.rc @ONLY)
    target_sources(xmlc PRIVATE ${PROJECT_BINARY_DIR}/xmlc.rc)
  endif()
  target_compile_definitions(xmlc PRIVATE OXA_VERSION="${PROJECT_VERSION}")
  target_link_libraries(xmlc PRIVATE oxa_render oxa_diagnostics oxa_platform oxa_dump oxa_host oxa_json
                        Threads::Threads)
  set_target_properties(xmlc PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  add_dependencies(xmlc deva3201)
  oxa_defaults(xmlc)

  # The package's names in-tree, for projects that add this one as a subdirectory.
  add_library(OxaHost::oxa_host ALIAS oxa_host)
  add_library(OxaHost::reader ALIAS oxa_format)
  add_library(OxaHost::interfaces ALIAS oxa_interfaces)
  add_library(OxaHost::plugin ALIAS deva3201)
  add_executable(OxaHost::xmlc ALIAS xmlc)
  include(${PROJECT_SOURCE_DIR}/cmake/OxaHostLayouts.cmake)
endif()
