# The installed package: the module, xmlc, and the host and reader libraries
# as the CMake package OxaHost (OxaHost::oxa_host, OxaHost::reader,
# OxaHost::plugin, OxaHost::xmlc, oxa_compile_layouts), with pkg-config
# files, the man page and bash completion.
#
# The public headers are installed as they stand in include/xmlcompiler/:
# consumers in-tree and installed alike include <xmlcompiler/...>.

include(CMakePackageConfigHelpers)

install(DIRECTORY include/xmlcompiler DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(TARGETS oxa_interfaces EXPORT OxaHostTargets)

install(TARGETS deva3201 EXPORT OxaHostTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/xmlcompiler)
set_target_properties(deva3201 PROPERTIES EXPORT_NAME plugin)
install(TARGETS oxa_format EXPORT OxaHostTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/xmlcompiler)

set(CMAKE_DL_LIBS_FLAG "")
if(CMAKE_DL_LIBS)
  set(CMAKE_DL_LIBS_FLAG "-l${CMAKE_DL_LIBS}")
endif()
file(RELATIVE_PATH pc_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_prefix "${pc_prefix}")
set(pc_prefix "\${pcfiledir}/${pc_prefix}")
configure_file(cmake/oxa-reader.pc.in ${PROJECT_BINARY_DIR}/oxa-reader.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/oxa-reader.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(OXA_BUILD_HOST)
  install(TARGETS xmlc EXPORT OxaHostTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS oxa_host EXPORT OxaHostTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES docs/xmlc.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES tools/xmlc.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME xmlc)
  configure_file(cmake/oxa-host.pc.in ${PROJECT_BINARY_DIR}/oxa-host.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/oxa-host.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

  install(EXPORT OxaHostTargets NAMESPACE OxaHost:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
  configure_package_config_file(cmake/OxaHostConfig.cmake.in ${PROJECT_BINARY_DIR}/OxaHostConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/OxaHostConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/OxaHostConfig.cmake ${PROJECT_BINARY_DIR}/OxaHostConfigVersion.cmake
                cmake/OxaHostLayouts.cmake
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/OxaHost)
endif()
