# -DTQ_SANITIZE=ON builds every object and program of the tree with
# AddressSanitizer (LeakSanitizer included) and UndefinedBehaviorSanitizer;
# the first finding ends the program with a report. -DTQ_FUZZ=ON (clang
# only) does the same, adds libFuzzer's coverage instrumentation, and builds
# the fuzz targets of tests/fuzz/.
option(TQ_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TQ_FUZZ "Build the libFuzzer targets, sanitizers included (clang)" OFF)

if(TQ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TQ_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(TQ_SANITIZE OR TQ_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # Clang links no sanitizer runtime into a shared library; the shared
    # runtime keeps the library's --no-undefined link working.
    string(APPEND CMAKE_SHARED_LINKER_FLAGS " -shared-libsan")
  endif()
endif()
