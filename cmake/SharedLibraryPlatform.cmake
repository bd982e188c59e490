# Platform rules for the shared library: its name, and which symbols it
# exports. Only the JNI entry points leave the library on Linux and Windows;
# macOS also keeps the internal C-linkage functions visible.
function(tq_configure_shared_library target)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME tqh264bridge)
  if(APPLE)
    # Installed as @rpath/libtqh264bridge.dylib.
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
  elseif(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "")
    # libgcc, libstdc++ and winpthread go inside: the DLL needs only system DLLs.
    target_link_options(${target} PRIVATE -static)
  else()
    target_link_options(${target} PRIVATE
      "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/exports-linux.map"
      "LINKER:--no-undefined")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
      ${PROJECT_SOURCE_DIR}/cmake/exports-linux.map)
  endif()
endfunction()
