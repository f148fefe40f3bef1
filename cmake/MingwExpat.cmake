# expat for the MinGW-w64 build: Debian ships none, so scripts/mingw-expat
# builds a static one from Debian's source package into the build tree on the
# first configure, keeping its download, and find_package(EXPAT) takes it.
# EXPAT::EXPAT then carries XML_STATIC, which expat.h needs for a static library.
set(OXA_MINGW_EXPAT_PREFIX ${PROJECT_BINARY_DIR}/expat CACHE PATH "Where the MinGW build of expat is installed")
set(oxa_expat_library ${OXA_MINGW_EXPAT_PREFIX}/lib/libexpat.a)
if(NOT EXISTS ${oxa_expat_library})
  message(STATUS "Building expat for MinGW from Debian's source package into ${OXA_MINGW_EXPAT_PREFIX}")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/mingw-expat ${OXA_MINGW_EXPAT_PREFIX}
                  RESULT_VARIABLE oxa_expat_status)
  if(NOT oxa_expat_status EQUAL 0)
    message(FATAL_ERROR "expat for MinGW could not be built (scripts/mingw-expat exited with "
                        "${oxa_expat_status}; 75: the package registry failed, retry later). "
                        "Without it, configure with -DOXA_BUILD_HOST=OFF to build the DLL alone.")
  endif()
endif()
file(STRINGS ${OXA_MINGW_EXPAT_PREFIX}/expat-version OXA_MINGW_EXPAT_VERSION LIMIT_COUNT 1)
message(STATUS "expat for MinGW: Debian's source ${OXA_MINGW_EXPAT_VERSION}")
set(EXPAT_INCLUDE_DIR ${OXA_MINGW_EXPAT_PREFIX}/include CACHE PATH "" FORCE)
set(EXPAT_LIBRARY ${oxa_expat_library} CACHE FILEPATH "" FORCE)
find_package(EXPAT REQUIRED)
set_property(TARGET EXPAT::EXPAT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS XML_STATIC)
