# Makes the library look for OpenH264 in its own directory, whatever install
# name the OpenH264 dylib was built with.
function(tq_load_openh264_from_loader_path target)
  if(NOT TQ_OPENH264_LIBRARY OR NOT CMAKE_OTOOL OR NOT CMAKE_INSTALL_NAME_TOOL)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_OTOOL} -D ${TQ_OPENH264_LIBRARY}
    OUTPUT_VARIABLE _tq_otool OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "^[^\n]*\n" "" _tq_install_name "${_tq_otool}")
  if(_tq_install_name AND NOT _tq_install_name MATCHES "^@loader_path/")
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_INSTALL_NAME_TOOL} -change ${_tq_install_name}
              @loader_path/libopenh264-1.7.0.dylib $<TARGET_FILE:${target}>)
  endif()
endfunction()

# Platform rules for the shared library: its name, and which symbols it
# exports. Only the JNI entry points leave the library on Linux and Windows;
# macOS also keeps the internal C-linkage functions visible.
function(tq_configure_shared_library target)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME tqh264bridge)
  if(APPLE)
    # Installed as @rpath/libtqh264bridge.dylib; finds OpenH264 beside itself.
    set_target_properties(${target} PROPERTIES
      MACOSX_RPATH ON
      INSTALL_NAME_DIR "@rpath"
      BUILD_WITH_INSTALL_NAME_DIR ON
      SKIP_BUILD_RPATH ON)
    target_link_options(${target} PRIVATE
      "LINKER:-rpath,@loader_path"
      "LINKER:-exported_symbols_list,${PROJECT_SOURCE_DIR}/cmake/exports-macos.txt")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
      ${PROJECT_SOURCE_DIR}/cmake/exports-macos.txt)
    tq_load_openh264_from_loader_path(${target})
  elseif(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "")
    # libgcc, libstdc++ and winpthread go inside: the DLL needs only system DLLs and OpenH264.
    target_link_options(${target} PRIVATE -static)
  else()
    target_link_options(${target} PRIVATE
      "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/exports-linux.map"
      "LINKER:--no-undefined")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
      ${PROJECT_SOURCE_DIR}/cmake/exports-linux.map)
  endif()
endfunction()
