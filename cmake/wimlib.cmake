# wimlib, an independent XPRESS compressor and decompressor that the tests and the
# benchmarks check our chunk decoder against. The program itself never links it.
# (Its pkg-config file requires the private dependencies' own .pc files, so the
# header and the library are looked up directly.)
include_guard(GLOBAL)

find_path(WIMLIB_INCLUDE_DIR wimlib.h)
find_library(WIMLIB_LIBRARY NAMES wim)
if(NOT WIMLIB_INCLUDE_DIR OR NOT WIMLIB_LIBRARY)
  message(FATAL_ERROR
    "wimlib was not found (wimlib.h and libwim), which the decoder's tests and benchmarks need. "
    "Install the Debian package libwim-dev (scripts/install-deps does).")
endif()

add_library(orvendel_wimlib INTERFACE IMPORTED GLOBAL)
target_include_directories(orvendel_wimlib INTERFACE "${WIMLIB_INCLUDE_DIR}")
target_link_libraries(orvendel_wimlib INTERFACE "${WIMLIB_LIBRARY}")
