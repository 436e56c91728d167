# The test programs' toolchain: GoogleTest needs std::mutex, which GCC 12's
# MinGW has only in the posix thread model. kardum2.exe itself is built apart,
# with toolchain-mingw-x86_64.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
