# The installed package: the module, xmlc, and the host and reader libraries
# as the CMake package OxaHost (OxaHost::oxa_host, OxaHost::reader,
# OxaHost::plugin, OxaHost::xmlc, oxa_compile_layouts).
#
# On Linux: the module in lib/xmlcompiler, with pkg-config files, the man
# page, bash completion, and the README with the documents it links for
# users in share/doc/xmlcompiler. On Windows, as a zip an integrator unpacks
# (`cpack` in a win32 build: xmlcompiler-VERSION-win32.zip): the stripped
# module beside xmlc.exe in bin/, the static libraries for MinGW with expat's
# in lib/, and the README (with docs/), LICENSE, the manual as text and the
# third-party notices at the top.
#
# The public headers are installed as they stand in include/xmlcompiler/:
# consumers in-tree and installed alike include <xmlcompiler/...>.

include(CMakePackageConfigHelpers)

install(DIRECTORY include/xmlcompiler DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(TARGETS oxa_interfaces EXPORT OxaHostTargets)

set_target_properties(deva3201 PROPERTIES EXPORT_NAME plugin)
install(TARGETS oxa_format EXPORT OxaHostTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(WIN32)
  install(TARGETS deva3201 EXPORT OxaHostTargets LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The shipped module replaces the built one: stripped, its debug
  # information left in release/deva3201.dll.debug.
  install(FILES ${release_dir}/deva3201.dll DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(oxa_doc_dir .)
else()
  install(TARGETS deva3201 EXPORT OxaHostTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/xmlcompiler)
  set(oxa_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/xmlcompiler)
endif()
# The README and every document it links, so that its links resolve where
# it is installed: the Linux install and the Windows zip alike.
install(FILES README.md LICENSE DESTINATION ${oxa_doc_dir})
install(FILES docs/format.md docs/hosting.md docs/encodings.md docs/development.md
              docs/performance.md docs/scaling.png docs/xmlc.1
        DESTINATION ${oxa_doc_dir}/docs)
# The hosting example docs/hosting.md shows, a project of its own, and a layout to try it on.
install(FILES examples/host/CMakeLists.txt examples/host/compile_layout.cpp
        DESTINATION ${oxa_doc_dir}/examples/host)
install(FILES examples/skin.xml DESTINATION ${oxa_doc_dir}/examples)

set(CMAKE_DL_LIBS_FLAG "")
if(CMAKE_DL_LIBS)
  set(CMAKE_DL_LIBS_FLAG "-l${CMAKE_DL_LIBS}")
endif()
file(RELATIVE_PATH pc_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_prefix "${pc_prefix}")
set(pc_prefix "\${pcfiledir}/${pc_prefix}")
configure_file(cmake/oxa-reader.pc.in ${PROJECT_BINARY_DIR}/oxa-reader.pc @ONLY)
if(NOT WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/oxa-reader.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

if(OXA_BUILD_HOST)
  install(TARGETS xmlc EXPORT OxaHostTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS oxa_host EXPORT OxaHostTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set(OXA_BUNDLED_EXPAT "")
  if(WIN32)
    # A Windows machine has no expat: the package brings the static one it was built with.
    get_filename_component(OXA_BUNDLED_EXPAT ${EXPAT_LIBRARY} NAME)
    install(FILES ${EXPAT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(FILES ${EXPAT_INCLUDE_DIR}/expat.h ${EXPAT_INCLUDE_DIR}/expat_external.h
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    # The manual as text, and the licences of what is linked in.
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/xmlc.txt
      COMMAND sh -c "groff -man -Tutf8 -P-cbou -rLL=78n \"$1\" > \"$2\"" sh
              ${PROJECT_SOURCE_DIR}/docs/xmlc.1 ${PROJECT_BINARY_DIR}/xmlc.txt
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/xmlc.1
      COMMENT "Rendering the manual as text"
      VERBATIM)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/third-party-notices ${OXA_MINGW_EXPAT_PREFIX}
              ${OXA_MINGW_UTF8PROC_PREFIX} ${OXA_MINGW_UCHARDET_PREFIX}
              ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt
      DEPENDS ${PROJECT_SOURCE_DIR}/scripts/third-party-notices
      COMMENT "Gathering the third-party notices"
      VERBATIM)
    add_custom_target(package_documents ALL
      DEPENDS ${PROJECT_BINARY_DIR}/xmlc.txt ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
    install(FILES ${PROJECT_BINARY_DIR}/xmlc.txt ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt
            DESTINATION ${oxa_doc_dir})
  else()
    install(FILES docs/xmlc.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES tools/xmlc/xmlc.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME xmlc)
    configure_file(cmake/oxa-host.pc.in ${PROJECT_BINARY_DIR}/oxa-host.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/oxa-host.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  endif()

  install(EXPORT OxaHostTargets NAMESPACE OxaHost:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
  configure_package_config_file(cmake/OxaHostConfig.cmake.in ${PROJECT_BINARY_DIR}/OxaHostConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/OxaHostConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/OxaHostConfig.cmake ${PROJECT_BINARY_DIR}/OxaHostConfigVersion.cmake
                cmake/OxaHostLayouts.cmake
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
endif()

if(WIN32)
  # The zip: xmlcompiler-VERSION-win32.zip holding one folder of that name.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME xmlcompiler)
  set(CPACK_PACKAGE_FILE_NAME xmlcompiler-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_STRIP_FILES ON)  # xmlc.exe; the module is installed stripped already
  set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
  include(CPack)
endif()
