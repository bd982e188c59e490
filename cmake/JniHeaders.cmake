# The JNI headers (jni.h and jni_md.h) as an interface target. Only the
# headers are needed: the library is loaded by a JVM, never linked to one.
add_library(tq_jni_headers INTERFACE)
if(NOT TQ_JNI_INCLUDE_DIRS)
  find_package(Java 17 COMPONENTS Development)
  # javac is usually a link; the JDK's include folder sits beside its bin.
  get_filename_component(_tq_javac_real "${Java_JAVAC_EXECUTABLE}" REALPATH)
  get_filename_component(_tq_jdk_home "${_tq_javac_real}/../.." ABSOLUTE)
  find_path(TQ_JNI_INCLUDE_DIR jni.h
    HINTS $ENV{JAVA_HOME}/include ${_tq_jdk_home}/include /usr/lib/jvm/default-java/include
    NO_CMAKE_FIND_ROOT_PATH)
  if(NOT TQ_JNI_INCLUDE_DIR)
    message(FATAL_ERROR "jni.h not found: set JAVA_HOME or TQ_JNI_INCLUDE_DIRS")
  endif()
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    # A Linux JDK has no Windows jni_md.h; ours has the same type widths.
    set(_tq_jni_md_dir ${CMAKE_CURRENT_LIST_DIR}/windows)
  elseif(WIN32)
    set(_tq_jni_md_dir ${TQ_JNI_INCLUDE_DIR}/win32)
  elseif(APPLE)
    set(_tq_jni_md_dir ${TQ_JNI_INCLUDE_DIR}/darwin)
  else()
    set(_tq_jni_md_dir ${TQ_JNI_INCLUDE_DIR}/linux)
  endif()
  set(TQ_JNI_INCLUDE_DIRS ${TQ_JNI_INCLUDE_DIR} ${_tq_jni_md_dir})
endif()
target_include_directories(tq_jni_headers INTERFACE ${TQ_JNI_INCLUDE_DIRS})
