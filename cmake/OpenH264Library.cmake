# Included by the top-level list (it is not a find module): locates OpenH264
# and defines the imported target tq_openh264, plus TQ_OPENH264_INCLUDE_DIRS
# and TQ_OPENH264_DEFINITIONS for code that only needs the headers (the unit
# tests link a fake instead of the library).
#
# -DOPENH264_ROOT=<prefix> selects an installation laid out as
# <prefix>/include/wels and <prefix>/lib; otherwise Linux uses pkg-config.
# Windows and macOS link the release named openh264-1.7.0.
set(OPENH264_ROOT "" CACHE PATH "Prefix of an OpenH264 installation (include/wels, lib)")

add_library(tq_openh264 INTERFACE IMPORTED)

if(OPENH264_ROOT)
  set(TQ_OPENH264_INCLUDE_DIRS ${OPENH264_ROOT}/include ${OPENH264_ROOT}/include/wels)
  set(TQ_OPENH264_HEADERS_DIR ${OPENH264_ROOT}/include/wels)
  if(WIN32 OR APPLE)
    set(_tq_openh264_names openh264-1.7.0 openh264)
  else()
    set(_tq_openh264_names openh264)
  endif()
  find_library(TQ_OPENH264_LIBRARY NAMES ${_tq_openh264_names}
    PATHS ${OPENH264_ROOT}/lib NO_DEFAULT_PATH)
  if(NOT TQ_OPENH264_LIBRARY)
    message(FATAL_ERROR "OpenH264 library not found under ${OPENH264_ROOT}/lib")
  endif()
  target_link_libraries(tq_openh264 INTERFACE ${TQ_OPENH264_LIBRARY})
  if(WIN32 OR APPLE)
    set(TQ_OPENH264_RUNTIME_IS_1_7 ON)
  endif()
elseif(WIN32)
  # No OpenH264 for Windows is at hand: link an import library for
  # openh264-1.7.0.dll made from the list of functions the library calls.
  # The 2.x headers serve, as every record and virtual slot the library uses
  # sits where 1.7.0 has it (FlushFrame, which 1.7.0 lacks, is not called).
  set(TQ_OPENH264_HEADERS_DIR /usr/include/wels CACHE PATH "OpenH264 headers for the Windows build")
  set(TQ_OPENH264_INCLUDE_DIRS ${TQ_OPENH264_HEADERS_DIR})
  set(_tq_import_library ${CMAKE_BINARY_DIR}/libopenh264-1.7.0.dll.a)
  execute_process(
    COMMAND ${CMAKE_DLLTOOL} --input-def ${CMAKE_CURRENT_LIST_DIR}/windows/openh264-1.7.0.def
            --output-lib ${_tq_import_library} --dllname openh264-1.7.0.dll
    RESULT_VARIABLE _tq_dlltool_result)
  if(NOT _tq_dlltool_result EQUAL 0)
    message(FATAL_ERROR "dlltool could not make the OpenH264 import library")
  endif()
  target_link_libraries(tq_openh264 INTERFACE ${_tq_import_library})
  set(TQ_OPENH264_RUNTIME_IS_1_7 ON)
elseif(APPLE)
  message(FATAL_ERROR "Set OPENH264_ROOT to the OpenH264 1.7.0 prefix (include/wels, lib)")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TQ_PKG_OPENH264 REQUIRED IMPORTED_TARGET openh264)
  set(TQ_OPENH264_INCLUDE_DIRS ${TQ_PKG_OPENH264_INCLUDE_DIRS})
  find_path(_tq_wels_dir codec_api.h PATHS ${TQ_PKG_OPENH264_INCLUDEDIR}
    PATH_SUFFIXES wels NO_CACHE)
  list(APPEND TQ_OPENH264_INCLUDE_DIRS ${_tq_wels_dir})
  set(TQ_OPENH264_HEADERS_DIR ${_tq_wels_dir})
  target_link_libraries(tq_openh264 INTERFACE PkgConfig::TQ_PKG_OPENH264)
endif()
target_include_directories(tq_openh264 INTERFACE ${TQ_OPENH264_INCLUDE_DIRS})

# The decoder can hand out a held-back picture at end of stream only where
# the OpenH264 it runs with has ISVCDecoder::FlushFrame (the 2.x releases).
# TQ_OPENH264_HEADERS_HAVE_FLUSH_FRAME says what the headers declare (test
# doubles must implement it); TQ_OPENH264_HAS_FLUSH_FRAME whether to call it.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_INCLUDES ${TQ_OPENH264_INCLUDE_DIRS})
check_cxx_source_compiles("
#include <codec_api.h>
int main() { auto flush = &ISVCDecoder::FlushFrame; (void)flush; return 0; }
" TQ_OPENH264_HAS_FLUSH_FRAME)
unset(CMAKE_REQUIRED_INCLUDES)
set(TQ_OPENH264_DEFINITIONS)
if(TQ_OPENH264_HAS_FLUSH_FRAME)
  list(APPEND TQ_OPENH264_DEFINITIONS TQ_OPENH264_HEADERS_HAVE_FLUSH_FRAME=1)
  if(NOT TQ_OPENH264_RUNTIME_IS_1_7)
    list(APPEND TQ_OPENH264_DEFINITIONS TQ_OPENH264_HAS_FLUSH_FRAME=1)
  endif()
endif()
