# Cross build for 32-bit ARM boards (armhf) with Debian's cross compiler; tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

# Debian's multiarch layout: the armhf libraries (libarchive, libcrypto, GoogleTest) live in
# /usr/lib/arm-linux-gnueabihf, the C library in /usr/arm-linux-gnueabihf.
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf /usr)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Host libraries must never satisfy a search for the target.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)

# pkg-config (GTK, X11, libpng) must read the armhf .pc files, never the host's; the architecture-
# independent ones in /usr/share/pkgconfig serve both. Headers and libraries are found through the
# multiarch paths those files name, so no sysroot prefix is wanted.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The Debian package (cmake --build ... --target package) is for armhf.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)

# Test discovery and CTest run the ARM executables through the user-mode emulator. The programs
# load the armhf C library of the multiarch install (/lib/arm-linux-gnueabihf), as on a board;
# pointing the emulator at the cross tool chain's copy instead (-L) makes thread creation crash.
find_program(HW_QEMU_ARM NAMES qemu-arm-static qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HW_QEMU_ARM})
