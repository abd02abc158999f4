# Strictness and build switches shared by every target of the project.

# Brand profile chosen at build time. The profile header applies the switches in a fixed order
# and the first one that is on wins; with none on, the default brand applies.
set(VG_BRAND "qopa" CACHE STRING "Brand profile: talmori, ftalm, durwen, pelmat, qopa or brenvik")
set_property(CACHE VG_BRAND PROPERTY STRINGS talmori ftalm durwen pelmat qopa brenvik)

# A developer build skips the installation checks and logs "Debug Version". It is independent of
# CMAKE_BUILD_TYPE so that every build people test and run behaves as a release build.
option(VG_DEBUG_BUILD "Developer build: skip installation checks" OFF)

option(VG_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VG_TSAN "Build with ThreadSanitizer" OFF)
# The fuzz build (clang only): just the readers of files and texts users hand the program, with
# libFuzzer's coverage, AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets.
option(VG_FUZZ "Build only the fuzz targets (needs clang++)" OFF)

add_library(vg_options INTERFACE)
target_compile_options(vg_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Werror
                                             -Wno-unused-parameter)
target_compile_definitions(vg_options INTERFACE
  QT_NO_FOREACH
  VG_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  VG_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  VG_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  VG_VERSION_TWEAK=${PROJECT_VERSION_TWEAK})

string(TOUPPER "${VG_BRAND}" _vg_brand_upper)
if(NOT VG_BRAND MATCHES "^(talmori|ftalm|durwen|pelmat|qopa|brenvik)$")
  message(FATAL_ERROR "Unknown brand profile '${VG_BRAND}'")
endif()
if(NOT VG_BRAND STREQUAL "brenvik")
  # brenvik is the profile that applies when no switch is on.
  target_compile_definitions(vg_options INTERFACE VG_BRAND_${_vg_brand_upper}=1)
endif()
if(VG_DEBUG_BUILD)
  target_compile_definitions(vg_options INTERFACE VG_DEBUG_BUILD=1)
endif()

# The sanitizer trees are built to run their tests once: -O1 (what the sanitizers' authors
# recommend) and line tables only for the reports' stack traces build a fifth faster than -O2
# with full debug information.
if(VG_SANITIZE OR VG_TSAN)
  target_compile_options(vg_options INTERFACE -O1 -g1)
endif()
# They also compile their sources in batches (unity builds), each batch parsing Qt's headers once:
# a cold sanitizer tree builds in a fraction of the time. The normal tree keeps one object per
# source, for quick rebuilds. In a batch, a class of one source may hold a type of another's
# anonymous namespace, which is no fault there.
if((VG_SANITIZE OR VG_TSAN) AND NOT DEFINED CMAKE_UNITY_BUILD)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE 16)
  target_compile_options(vg_options INTERFACE -Wno-subobject-linkage)
endif()
if(VG_SANITIZE)
  target_compile_options(vg_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                              -fno-sanitize-recover=undefined)
  target_link_options(vg_options INTERFACE -fsanitize=address,undefined)
endif()
if(VG_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VG_FUZZ needs clang++ (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  target_compile_options(vg_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                              -fno-sanitize-recover=undefined
                                              -fno-omit-frame-pointer)
  target_link_options(vg_options INTERFACE -fsanitize=address,undefined)
endif()
if(VG_TSAN)
  target_compile_options(vg_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vg_options INTERFACE -fsanitize=thread)
endif()

# Runs a tool of the build (the test-video generator), which is not code under test. In a
# ThreadSanitizer build it reports nothing: Qt's own image threads, whose locks the sanitizer
# cannot see, look like races now and then, and such a report would fail the build by chance.
set(VG_TOOL_LAUNCHER "")
if(VG_TSAN)
  set(VG_TOOL_LAUNCHER ${CMAKE_COMMAND} -E env TSAN_OPTIONS=report_bugs=0)
endif()
