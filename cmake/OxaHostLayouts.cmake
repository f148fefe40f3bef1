# oxa_compile_layouts(TARGET FILES file.xml... [OUTPUT_DIRECTORY dir] [OPTIONS xmlc-options...])
#
# Adds to TARGET the build rules that compile each layout with OxaHost::xmlc
# (and the module OxaHost::plugin) into OUTPUT_DIRECTORY/NAME.xmlc, NAME being
# the file name less its last extension. OUTPUT_DIRECTORY defaults to the
# current binary directory; relative paths are taken from the current source
# directory (FILES) and binary directory (OUTPUT_DIRECTORY). A layout is
# compiled again when it, xmlc or the module changes. xmlc's findings appear
# in the build log as FILE:LINE:COL: ...; a layout that fails fails the build
# and leaves no output. OPTIONS go to xmlc compile as they stand (-Werror,
# -Wno-KIND, -w).
#
# xmlc runs through LAUNCHER when given, else through OXA_XMLC_LAUNCHER, else,
# in a cross build, through the imported xmlc's CROSSCOMPILING_EMULATOR or
# CMAKE_CROSSCOMPILING_EMULATOR (Wine, for a Windows project built on Linux):
# CMake puts no emulator in front of an imported executable in a custom
# command. A native build runs xmlc directly.
function(oxa_compile_layouts target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_DIRECTORY" "FILES;OPTIONS;LAUNCHER")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "oxa_compile_layouts: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "oxa_compile_layouts: no target '${target}'")
  endif()
  if(NOT arg_FILES)
    message(FATAL_ERROR "oxa_compile_layouts: no FILES for target '${target}'")
  endif()
  foreach(needed OxaHost::xmlc OxaHost::plugin)
    if(NOT TARGET ${needed})
      message(FATAL_ERROR "oxa_compile_layouts: ${needed} is missing; find_package(OxaHost) first")
    endif()
  endforeach()
  set(launcher ${arg_LAUNCHER})
  get_target_property(imported OxaHost::xmlc IMPORTED)
  if(NOT launcher AND imported)
    if(OXA_XMLC_LAUNCHER)
      set(launcher ${OXA_XMLC_LAUNCHER})
    elseif(CMAKE_CROSSCOMPILING)
      get_target_property(launcher OxaHost::xmlc CROSSCOMPILING_EMULATOR)
      if(NOT launcher)
        set(launcher ${CMAKE_CROSSCOMPILING_EMULATOR})
      endif()
    endif()
  endif()
  set(xmlc OxaHost::xmlc)
  if(launcher)
    set(xmlc ${launcher} $<TARGET_FILE:OxaHost::xmlc>)
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR})
  if(arg_OUTPUT_DIRECTORY)
    get_filename_component(dir ${arg_OUTPUT_DIRECTORY} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(outputs "")
  foreach(file IN LISTS arg_FILES)
    get_filename_component(source ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    get_filename_component(name ${file} NAME_WLE)
    set(output ${dir}/${name}.xmlc)
    if(output IN_LIST outputs)
      message(FATAL_ERROR "oxa_compile_layouts: two layouts of '${target}' would both write ${output}")
    endif()
    list(APPEND outputs ${output})
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${xmlc} compile --plugin=$<TARGET_FILE:OxaHost::plugin> ${arg_OPTIONS}
              -o ${output} ${source}
      DEPENDS ${source} $<TARGET_FILE:OxaHost::xmlc> $<TARGET_FILE:OxaHost::plugin>
      COMMENT "Compiling layout ${file}"
      VERBATIM COMMAND_EXPAND_LISTS)
  endforeach()
  target_sources(${target} PRIVATE ${outputs})
endfunction()

# oxa_deploy_plugin(TARGET [INSTALL_DESTINATION dir])
#
# Puts the module (OxaHost::plugin: deva3201.dll, or deva3201.so) beside
# TARGET's program after each build, where the host's default lookup
# (DefaultPluginPath) finds it first; with INSTALL_DESTINATION, installs it
# there too, which is the program's own install folder (bin on Windows).
function(oxa_deploy_plugin target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "INSTALL_DESTINATION" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "oxa_deploy_plugin: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${target} OR NOT TARGET OxaHost::plugin)
    message(FATAL_ERROR "oxa_deploy_plugin: no target '${target}', or no OxaHost::plugin; "
                        "find_package(OxaHost) first")
  endif()
  get_target_property(plugin OxaHost::plugin ALIASED_TARGET)
  if(plugin)
    add_dependencies(${target} ${plugin})  # built in this project: before the copy
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:OxaHost::plugin> $<TARGET_FILE_DIR:${target}>
    COMMENT "Putting the xmlcompiler module beside ${target}"
    VERBATIM)
  if(arg_INSTALL_DESTINATION)
    install(FILES $<TARGET_FILE:OxaHost::plugin> DESTINATION ${arg_INSTALL_DESTINATION})
  endif()
endfunction()
