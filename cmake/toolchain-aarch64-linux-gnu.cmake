# Cross-builds for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu,
# against the arm64 OpenH264 of Debian's multiarch (libopenh264-dev:arm64).
# Programs built for arm64 (the unit tests) run through qemu-user.
# No CMAKE_FIND_ROOT_PATH: it would hide the multiarch OpenH264 headers and
# the JUnit jars, which the host and the target share.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# pkg-config reads only the arm64 .pc files.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

set(TQ_AARCH64_SYSROOT /usr/aarch64-linux-gnu CACHE PATH "The arm64 libraries qemu-user loads")
find_program(TQ_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(TQ_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TQ_QEMU_AARCH64} -L ${TQ_AARCH64_SYSROOT})
endif()
