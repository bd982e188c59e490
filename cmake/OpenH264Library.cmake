# The OpenH264 installed on the build machine (pkg-config), for programs that
# call OpenH264 directly rather than through the library: the native side of
# the benchmark. Defines the imported target tq_openh264 and sets
# TQ_SYSTEM_OPENH264_FOUND; on other platforms and in cross builds there is none.
set(TQ_SYSTEM_OPENH264_FOUND OFF)
if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32 AND NOT APPLE)
  find_package(PkgConfig)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(TQ_PKG_OPENH264 IMPORTED_TARGET openh264)
  endif()
  if(TQ_PKG_OPENH264_FOUND)
    find_path(_tq_wels_dir codec_api.h PATHS ${TQ_PKG_OPENH264_INCLUDEDIR}
      PATH_SUFFIXES wels NO_CACHE)
    add_library(tq_openh264 INTERFACE IMPORTED)
    target_include_directories(tq_openh264 INTERFACE ${TQ_PKG_OPENH264_INCLUDE_DIRS} ${_tq_wels_dir})
    target_link_libraries(tq_openh264 INTERFACE PkgConfig::TQ_PKG_OPENH264)
    set(TQ_SYSTEM_OPENH264_FOUND ON)
  endif()
endif()
