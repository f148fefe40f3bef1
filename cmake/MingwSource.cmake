# The C libraries of the MinGW-w64 build that Debian ships no MinGW build of:
# scripts/mingw-source builds each, static, from Debian's source package into
# the build tree on the first configure, keeping its download.
#
# oxa_mingw_source(NAME LIBRARY): builds NAME into ${PROJECT_BINARY_DIR}/NAME
# unless it is there, and sets OXA_MINGW_<NAME>_PREFIX and _VERSION.
function(oxa_mingw_source name library)
  string(TOUPPER ${name} upper)
  set(OXA_MINGW_${upper}_PREFIX ${PROJECT_BINARY_DIR}/${name} CACHE PATH "Where the MinGW build of ${name} is installed")
  set(prefix ${OXA_MINGW_${upper}_PREFIX})
  if(NOT EXISTS ${prefix}/lib/${library})
    message(STATUS "Building ${name} for MinGW from Debian's source package into ${prefix}")
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/mingw-source ${name} ${prefix}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${name} for MinGW could not be built (scripts/mingw-source exited with "
                          "${status}; 75: the package registry failed, retry later). "
                          "Without it, configure with -DOXA_BUILD_HOST=OFF to build the DLL alone.")
    endif()
  endif()
  file(STRINGS ${prefix}/${name}-version version LIMIT_COUNT 1)
  message(STATUS "${name} for MinGW: Debian's source ${version}")
  set(OXA_MINGW_${upper}_VERSION ${version} PARENT_SCOPE)
endfunction()

# expat: EXPAT::EXPAT carries XML_STATIC, which expat.h needs for a static library.
oxa_mingw_source(expat libexpat.a)
set(EXPAT_INCLUDE_DIR ${OXA_MINGW_EXPAT_PREFIX}/include CACHE PATH "" FORCE)
set(EXPAT_LIBRARY ${OXA_MINGW_EXPAT_PREFIX}/lib/libexpat.a CACHE FILEPATH "" FORCE)
find_package(EXPAT REQUIRED)
set_property(TARGET EXPAT::EXPAT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS XML_STATIC)

# utf8proc, for xmlc's source lines.
oxa_mingw_source(utf8proc libutf8proc.a)
set(UTF8PROC_INCLUDE_DIR ${OXA_MINGW_UTF8PROC_PREFIX}/include CACHE PATH "" FORCE)
set(UTF8PROC_LIBRARY ${OXA_MINGW_UTF8PROC_PREFIX}/lib/libutf8proc.a CACHE FILEPATH "" FORCE)

# uchardet, for xmlc's guess at an undeclared encoding.
oxa_mingw_source(uchardet libuchardet.a)
set(UCHARDET_INCLUDE_DIR ${OXA_MINGW_UCHARDET_PREFIX}/include/uchardet CACHE PATH "" FORCE)
set(UCHARDET_LIBRARY ${OXA_MINGW_UCHARDET_PREFIX}/lib/libuchardet.a CACHE FILEPATH "" FORCE)
