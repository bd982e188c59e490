# Configures the library for macOS x86_64 on this (Linux) machine without
# building it, and checks the link command the configuration produces: a
# dylib named @rpath/libtqh264bridge.dylib that links libopenh264-1.7.0.dylib,
# finds it beside itself, and exports through the exported-symbols list.
#
# cmake -DSOURCE_DIR=<repo> -DWORK_DIR=<scratch> -DJNI_INCLUDE_DIRS=<dirs>
#       -DOPENH264_HEADERS=<dir with codec_api.h> -P check-macos-configuration.cmake
foreach(variable SOURCE_DIR WORK_DIR JNI_INCLUDE_DIRS OPENH264_HEADERS)
  if(NOT ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
# A stand-in OpenH264 1.7.0 installation: its headers and an empty dylib.
file(COPY ${OPENH264_HEADERS}/ DESTINATION ${WORK_DIR}/openh264/include/wels)
file(MAKE_DIRECTORY ${WORK_DIR}/openh264/lib)
file(TOUCH ${WORK_DIR}/openh264/lib/libopenh264-1.7.0.dylib)

execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G "Unix Makefiles"
          -DCMAKE_SYSTEM_NAME=Darwin -DCMAKE_OSX_ARCHITECTURES=x86_64
          -DCMAKE_C_COMPILER_WORKS=ON -DCMAKE_CXX_COMPILER_WORKS=ON
          -DOPENH264_ROOT=${WORK_DIR}/openh264 "-DTQ_JNI_INCLUDE_DIRS=${JNI_INCLUDE_DIRS}"
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
    "-Wl,-exported_symbols_list,${SOURCE_DIR}/cmake/exports-macos.txt"
    "${WORK_DIR}/openh264/lib/libopenh264-1.7.0.dylib")
  string(FIND "${link}" "${expected}" at)
  if(at EQUAL -1)
    string(APPEND failures "link command lacks: ${expected}\n")
  endif()
endforeach()
foreach(unexpected "--version-script" "-fvisibility=hidden")
  string(FIND "${link}${compile}" "${unexpected}" at)
  if(NOT at EQUAL -1)
    string(APPEND failures "macOS build must not use: ${unexpected}\n")
  endif()
endforeach()
string(FIND "${compile}" "TQ_OPENH264_HAS_FLUSH_FRAME" at)
if(NOT at EQUAL -1)
  string(APPEND failures "the 1.7.0 runtime has no FlushFrame, but the build would call it\n")
endif()
if(failures)
  message(FATAL_ERROR "${failures}link command: ${link}")
endif()
message(STATUS "macOS configuration links as expected: ${link}")
