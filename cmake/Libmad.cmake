# libmad 0.15.1b built from the pristine upstream release that scripts/setup.sh unpacks into the
# build tree, with our patches applied to a copy (below). Every build (plug-in, tests, fuzzing,
# benchmarks) uses this same decoder source.
#
# The release's prebuilt mad.h is the i686 variant (FPM_INTEL, 32-bit long). Builds for other
# processors get a mad.h of their own: the same concatenated component headers with their own
# fixed-point choice and type sizes, as the release's Makefile would write it.
set(_mad_release "${VINTROVE_LIBMAD_SOURCE}")
if(NOT EXISTS "${_mad_release}/decoder.c")
  message(FATAL_ERROR "libmad source not found at ${_mad_release}: run scripts/setup.sh first")
endif()

# Our fixes (cmake/patches/libmad-*.patch, in name order) are applied to a copy of the release's
# sources in the build tree, so the unpacked release stays pristine. Only files whose content
# changed are copied over the previous copy, so a reconfigure does not rebuild the library.
file(GLOB _mad_patches CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/patches/libmad-*.patch")
list(SORT _mad_patches)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_mad_patches})
set(_mad_src "${CMAKE_BINARY_DIR}/libmad/source")
set(_mad_stage "${CMAKE_BINARY_DIR}/libmad/stage")
file(REMOVE_RECURSE "${_mad_stage}")
file(GLOB _mad_release_files "${_mad_release}/*.c" "${_mad_release}/*.h" "${_mad_release}/*.dat")
file(COPY ${_mad_release_files} DESTINATION "${_mad_stage}")
if(_mad_patches)
  find_program(VINTROVE_PATCH_PROGRAM patch REQUIRED)
endif()
foreach(_patch IN LISTS _mad_patches)
  execute_process(COMMAND "${VINTROVE_PATCH_PROGRAM}" -p1 --batch --forward --silent -i "${_patch}"
    WORKING_DIRECTORY "${_mad_stage}" RESULT_VARIABLE _patch_result
    OUTPUT_VARIABLE _patch_output ERROR_VARIABLE _patch_output)
  if(NOT _patch_result EQUAL 0)
    message(FATAL_ERROR "${_patch} does not apply to libmad 0.15.1b:\n${_patch_output}")
  endif()
endforeach()
file(MAKE_DIRECTORY "${_mad_src}")
file(GLOB _mad_staged RELATIVE "${_mad_stage}" "${_mad_stage}/*")
foreach(_file IN LISTS _mad_staged)
  file(COPY_FILE "${_mad_stage}/${_file}" "${_mad_src}/${_file}" ONLY_IF_DIFFERENT)
endforeach()
file(REMOVE_RECURSE "${_mad_stage}")

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_mad_fpm FPM_64BIT)
  set(_mad_sizeof_long 8)
  if(WIN32)
    set(_mad_sizeof_long 4)  # LLP64
  endif()
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR CMAKE_SYSTEM_PROCESSOR STREQUAL "")
  set(_mad_fpm FPM_INTEL)
  set(_mad_sizeof_long 4)
else()
  set(_mad_fpm FPM_DEFAULT)
  set(_mad_sizeof_long 4)
endif()

set(_mad_gen "${CMAKE_BINARY_DIR}/libmad")
file(READ "${_mad_src}/mad.h" _mad_h)
string(REPLACE "# define FPM_INTEL" "# define ${_mad_fpm}" _mad_h "${_mad_h}")
string(REPLACE "# define SIZEOF_LONG 4" "# define SIZEOF_LONG ${_mad_sizeof_long}" _mad_h "${_mad_h}")
file(CONFIGURE OUTPUT "${_mad_gen}/mad.h" CONTENT "${_mad_h}" @ONLY)
file(CONFIGURE OUTPUT "${_mad_gen}/config.h" CONTENT "\
/* Written by the build: what the release's configure script would find here. */
#define HAVE_ASSERT_H 1
#define HAVE_ERRNO_H 1
#define HAVE_LIMITS_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define STDC_HEADERS 1
#define SIZEOF_INT 4
#define SIZEOF_LONG ${_mad_sizeof_long}
#define SIZEOF_LONG_LONG 8
#define PACKAGE \"libmad\"
#define VERSION \"0.15.1b\"
")

add_library(mad STATIC
  ${_mad_src}/version.c ${_mad_src}/fixed.c ${_mad_src}/bit.c ${_mad_src}/timer.c
  ${_mad_src}/stream.c ${_mad_src}/frame.c ${_mad_src}/synth.c ${_mad_src}/decoder.c
  ${_mad_src}/layer12.c ${_mad_src}/layer3.c ${_mad_src}/huffman.c)
target_compile_definitions(mad PRIVATE HAVE_CONFIG_H ${_mad_fpm})
target_include_directories(mad PRIVATE "${_mad_gen}" "${_mad_src}")
target_include_directories(mad SYSTEM INTERFACE "${_mad_gen}")
# Old C: keep its warnings out of our logs, and let it alias as it was written to. Its fixed-point
# sums overflow on damaged frames (synth.c's DCT, for one) and were written for two's complement
# wrapping: -fwrapv defines that, where the overflow would otherwise be undefined.
target_compile_options(mad PRIVATE -w -fno-strict-aliasing -fwrapv)
set_target_properties(mad PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)

# libmad shifts negative values left (layer12.c), which C99 leaves undefined but every compiler
# we use defines as the arithmetic shift it means; keep the sanitizers on for everything else.
if(VINTROVE_SANITIZERS AND NOT WIN32)
  target_compile_options(mad PRIVATE -fno-sanitize=shift-base)
  # synth.c steps a pointer back from the start of a row of its window table (*Dptr - pe) and
  # indexes forward again: every sample it reads lies inside the row, only the intermediate
  # pointer does not. Its indices depend on the synthesis phase alone, never on the file.
  set_source_files_properties(${_mad_src}/synth.c PROPERTIES COMPILE_OPTIONS -fno-sanitize=bounds)
endif()
