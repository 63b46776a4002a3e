# 32-bit x86 Linux (i686) with the host's GCC and Debian's multilib and i386
# libraries: the shipped program's processor, x87 floating point included, for the
# portable core's tests. Where the kernel does not run 32-bit programs, the tests run
# under user-mode emulation: HARNOX_I686_EMULATOR names the emulator (qemu-i386).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -march=i686")
set(CMAKE_CXX_FLAGS_INIT "-m32 -march=i686")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Libraries from Debian's i386 packages only, also where pkg-config is asked.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(HARNOX_I686_EMULATOR "" CACHE STRING "Runs the i686 test programs; empty to run them natively")
if(HARNOX_I686_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${HARNOX_I686_EMULATOR})
endif()
