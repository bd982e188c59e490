# Configures the library for macOS x86_64 on this (Linux) machine without
# building it, and checks the link command the configuration produces: a
# dylib named @rpath/libtqh264bridge.dylib that exports through the
# exported-symbols list and links no OpenH264 (it loads one at run time).
#
# cmake -DSOURCE_DIR=<repo> -DWORK_DIR=<scratch> -DJNI_INCLUDE_DIRS=<dirs>
#       -P check-macos-configuration.cmake
foreach(variable SOURCE_DIR WORK_DIR JNI_INCLUDE_DIRS)
  if(NOT ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})

execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G "Unix Makefiles"
          -DCMAKE_SYSTEM_NAME=Darwin -DCMAKE_OSX_ARCHITECTURES=x86_64
          -DCMAKE_C_COMPILER_WORKS=ON -DCMAKE_CXX_COMPILER_WORKS=ON
          "-DTQ_JNI_INCLUDE_DIRS=${JNI_INCLUDE_DIRS}"
          -DTQ_BUILD_JAVA=OFF -DTQ_BUILD_TESTS=OFF
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "configuring for macOS failed:\n${output}")
endif()

file(READ ${WORK_DIR}/build/CMakeFiles/tqh264bridge.dir/link.txt link)
# Linker options read the same whichever way the compiler driver passes them.
string(REGEX REPLACE "-Xlinker ([^ ]+) -Xlinker ([^ ]+)" "-Wl,\\1,\\2" link "${link}")
file(READ ${WORK_DIR}/build/CMakeFiles/tqh264bridge_objects.dir/flags.make compile)
set(failures "")
foreach(expected
    "-dynamiclib"
    "-o libtqh264bridge.dylib"
    "-install_name @rpath/libtqh264bridge.dylib"
    "-Wl,-rpath,@loader_path"
    "-Wl,-exported_symbols_list,${SOURCE_DIR}/cmake/exports-macos.txt")
  string(FIND "${link}" "${expected}" at)
  if(at EQUAL -1)
    string(APPEND failures "link command lacks: ${expected}\n")
  endif()
endforeach()
string(FIND "${link}" "libopenh264" at)
if(NOT at EQUAL -1)
  string(APPEND failures "the link command names OpenH264, which is loaded at run time\n")
endif()
foreach(unexpected "--version-script" "-fvisibility=hidden")
  string(FIND "${link}${compile}" "${unexpected}" at)
  if(NOT at EQUAL -1)
    string(APPEND failures "macOS build must not use: ${unexpected}\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}link command: ${link}")
endif()
message(STATUS "macOS configuration links as expected: ${link}")
