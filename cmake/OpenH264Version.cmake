# TQ_OPENH264_VERSION: the OpenH264 release the library runs with, e.g.
# "2.3.1", read from codec_ver.h beside the headers it is built against.
# Builds that link openh264-1.7.0 by name run with 1.7.0 whichever headers
# served. Tests that check a release's own behaviour are told this version
# (a compile definition for C++, an environment variable for Java).
file(STRINGS "${TQ_OPENH264_HEADERS_DIR}/codec_ver.h" _tq_version_lines
  REGEX "^#define OPENH264_(MAJOR|MINOR|REVISION) ")
foreach(_tq_part MAJOR MINOR REVISION)
  string(REGEX MATCH "OPENH264_${_tq_part} \\(([0-9]+)\\)" _tq_match "${_tq_version_lines}")
  if(NOT _tq_match)
    message(FATAL_ERROR "No OPENH264_${_tq_part} in ${TQ_OPENH264_HEADERS_DIR}/codec_ver.h")
  endif()
  set(_tq_version_${_tq_part} ${CMAKE_MATCH_1})
endforeach()
set(TQ_OPENH264_VERSION "${_tq_version_MAJOR}.${_tq_version_MINOR}.${_tq_version_REVISION}")
if(TQ_OPENH264_RUNTIME_IS_1_7)
  set(TQ_OPENH264_VERSION 1.7.0)
endif()
message(STATUS "OpenH264 release the tests expect: ${TQ_OPENH264_VERSION}")
