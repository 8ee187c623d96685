# Shared build helpers: warnings, sanitizers, and the one-library-per-folder layout.

set(TESSABAN_WARNINGS -Wall -Wextra -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 at -O3 reports impossible overlaps inside std::string's own copies (GCC bug 105329).
  list(APPEND TESSABAN_WARNINGS -Wno-restrict)
endif()

if(TESSABAN_SANITIZE)
  string(REPLACE ";" "," _san "${TESSABAN_SANITIZE}")
  add_compile_options(-fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${_san})
endif()
if(TESSABAN_FUZZ)
  # Every object carries coverage so that the fuzzers see into the libraries they drive. UBSan
  # stops the run on its first report: in recover mode it only prints, and the fuzzer would go on
  # and end as if nothing had been found.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The suppressions in sanitizers/ are compiled into every executable of a sanitizer build, so that
# a program run by hand, by a test or by scripts/sanitize reports the same things.
if(TESSABAN_SANITIZE)
  set(TESSABAN_LSAN_FUNCTION "")
  set(TESSABAN_TSAN_FUNCTION "")
  foreach(_kind IN ITEMS lsan tsan)
    set(_file ${PROJECT_SOURCE_DIR}/sanitizers/${_kind}.supp)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_file})
  endforeach()
  set(TESSABAN_DLCLOSE_FUNCTION "")
  if("address" IN_LIST TESSABAN_SANITIZE)
    file(READ ${PROJECT_SOURCE_DIR}/sanitizers/lsan.supp _supp)
    set(TESSABAN_LSAN_FUNCTION "const char* __lsan_default_suppressions() { return R\"supp(${_supp})supp\"; }")
    # An unloaded library takes the pointers in its data with it: LSan then reports what they
    # held as leaked and cannot name the code that allocated it (the OpenGL driver that Qt
    # unloads when a program with a 3D view exits). Libraries stay loaded in these builds.
    set(TESSABAN_DLCLOSE_FUNCTION "__attribute__((visibility(\"default\"), used)) int dlclose(void*) { return 0; }")
    add_link_options(-Wl,--export-dynamic-symbol=dlclose)
  endif()
  if("thread" IN_LIST TESSABAN_SANITIZE)
    file(READ ${PROJECT_SOURCE_DIR}/sanitizers/tsan.supp _supp)
    set(TESSABAN_TSAN_FUNCTION "const char* __tsan_default_suppressions() { return R\"supp(${_supp})supp\"; }")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/SanitizerDefaults.cpp.in ${PROJECT_BINARY_DIR}/SanitizerDefaults.cpp @ONLY)
  add_library(tessaban_sanitizer_defaults OBJECT ${PROJECT_BINARY_DIR}/SanitizerDefaults.cpp)
endif()

# Gives every executable below DIR the sanitizer suppressions; called once all folders are added.
function(tessaban_add_sanitizer_defaults dir)
  if(NOT TARGET tessaban_sanitizer_defaults)
    return()
  endif()
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(_target IN LISTS _targets)
    get_target_property(_type ${_target} TYPE)
    if(_type STREQUAL "EXECUTABLE")
      target_sources(${_target} PRIVATE $<TARGET_OBJECTS:tessaban_sanitizer_defaults>)
    endif()
  endforeach()
  get_property(_children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_child IN LISTS _children)
    tessaban_add_sanitizer_defaults(${_child})
  endforeach()
endfunction()

# Adds every child of DIR that has a CMakeLists.txt, in name order. Targets link one another by
# name, which CMake resolves once everything is read, so the order does not matter.
function(tessaban_add_children dir)
  file(GLOB _children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT _children)
  foreach(child IN LISTS _children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# Makes the headers of the folder that holds NAME visible as "folder/Header.h" under
# ${PROJECT_BINARY_DIR}/include/NAME, through a link to the folder, and returns that root. A
# folder holds one library or program, so its root shows nothing else.
function(tessaban_header_root name out)
  file(RELATIVE_PATH _folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  get_property(_owner GLOBAL PROPERTY TESSABAN_FOLDER_OWNER_${_folder})
  if(_owner AND NOT _owner STREQUAL name)
    message(FATAL_ERROR "src/${_folder} holds both ${_owner} and ${name}: give ${name} a folder of its own")
  endif()
  set_property(GLOBAL PROPERTY TESSABAN_FOLDER_OWNER_${_folder} ${name})
  set(_root ${PROJECT_BINARY_DIR}/include/${name})
  get_filename_component(_parent ${_root}/${_folder} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${_root}/${_folder} SYMBOLIC)
  set(${out} ${_root} PARENT_SCOPE)
endfunction()

# tessaban_library(NAME SOURCES... [DEPS libs...]): a static library whose headers are included
# as "folder/Header.h". It exports its own folder only, so code sees the headers of exactly the
# libraries it links and a layer cannot reach up without a link that the layer check refuses.
function(tessaban_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  tessaban_header_root(${name} _root)
  target_include_directories(${name} PUBLIC ${_root})
  target_compile_options(${name} PRIVATE ${TESSABAN_WARNINGS})
  target_link_libraries(${name} PUBLIC ${L_DEPS})
endfunction()

# tessaban_program(NAME SOURCES... [DEPS libs...] [NO_INSTALL]): NO_INSTALL for programs that
# only developers run (demos), which the installed suite leaves out. A program in a folder of its
# own sees that folder's headers; one beside its library sees them through the library.
function(tessaban_program name)
  cmake_parse_arguments(P "NO_INSTALL" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  file(RELATIVE_PATH _folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  get_property(_owner GLOBAL PROPERTY TESSABAN_FOLDER_OWNER_${_folder})
  if(NOT _owner)
    tessaban_header_root(${name} _root)
    target_include_directories(${name} PRIVATE ${_root})
  endif()
  target_compile_options(${name} PRIVATE ${TESSABAN_WARNINGS})
  target_link_libraries(${name} PRIVATE ${P_DEPS})
  if(NOT P_NO_INSTALL)
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endfunction()

# tessaban_test(NAME SOURCES... [DEPS libs...] LABELS labels... [TIMEOUT s] [RUN_SERIAL] [GL]
#               [PIXELS filter]): one GoogleTest
# binary. LABELS must name what kind of test it is, so that `ctest -L unit` stays the quick run:
# unit (no processes, no pseudo-terminals, no display), e2e (starts kz7sim or another program,
# or uses pseudo-terminals) or gui (widgets or GL); e2e and gui may go together. RUN_SERIAL keeps its cases from sharing the machine with other tests (timing measurements).
# GL: the binary shows OpenGL windows, which the offscreen platform cannot do; it runs as one test
# under its own virtual X display (xvfb-run -a, QT_QPA_PLATFORM=xcb). GL tests take turns (the
# xvfb lock): two xvfb-run -a started at once can pick the same display number.
# Tests find the built programs (kz7sim, tessaban) through TESSABAN_BIN_DIR and the source data
# through TESSABAN_SOURCE_DIR.
# PIXELS FILTER: the cases matching the GoogleTest filter read pixels or lay out text. The binary
# then runs with DejaVu as the preferred families, and those cases run a second time (suffix
# ".noto", label "fonts") with Noto Sans and Noto Sans Mono preferred: glyphs differ in width and
# in how much of them is drawn grey, and both sets are common on the machines we ship to.
set(TESSABAN_FONTS_DIR ${PROJECT_SOURCE_DIR}/tests/fonts)
function(tessaban_test name)
  cmake_parse_arguments(T "RUN_SERIAL;GL" "TIMEOUT;PIXELS" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(_kinds unit e2e gui)
  set(_kind_given FALSE)
  foreach(kind IN LISTS _kinds)
    if(kind IN_LIST T_LABELS)
      set(_kind_given TRUE)
    endif()
  endforeach()
  if(NOT _kind_given)
    message(FATAL_ERROR "tessaban_test(${name}): LABELS must hold unit, e2e or gui")
  endif()
  if("unit" IN_LIST T_LABELS AND ("e2e" IN_LIST T_LABELS OR "gui" IN_LIST T_LABELS))
    message(FATAL_ERROR "tessaban_test(${name}): a unit test starts nothing and shows nothing")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE ${TESSABAN_WARNINGS})
  target_compile_definitions(${name} PRIVATE
    TESSABAN_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
    TESSABAN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(_fonts "")
  if(T_PIXELS)
    set(_fonts ENVIRONMENT_MODIFICATION "FONTCONFIG_FILE=set:${TESSABAN_FONTS_DIR}/dejavu.conf")
    set(_noto ENVIRONMENT_MODIFICATION "FONTCONFIG_FILE=set:${TESSABAN_FONTS_DIR}/noto.conf")
  endif()
  if(T_GL)
    find_program(TESSABAN_XVFB_RUN xvfb-run REQUIRED)
    set(_run ${TESSABAN_XVFB_RUN} -a -s "-screen 0 1600x1200x24 -nolisten tcp" $<TARGET_FILE:${name}>)
    set(_gl TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=xcb" RESOURCE_LOCK xvfb)
    add_test(NAME ${name} COMMAND ${_run})
    set_tests_properties(${name} PROPERTIES ${_gl} ${_fonts} LABELS "${T_LABELS}")
    if(T_PIXELS)
      add_test(NAME ${name}.noto COMMAND ${_run} --gtest_filter=${T_PIXELS})
      set_tests_properties(${name}.noto PROPERTIES ${_gl} ${_noto} LABELS "${T_LABELS};fonts")
    endif()
    return()
  endif()
  if(T_PIXELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER ${T_PIXELS} TEST_SUFFIX .noto
                         TEST_LIST ${name}_NOTO_TESTS
                         PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${_noto})
  endif()
  set(_props TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${_fonts})
  if(T_RUN_SERIAL)
    list(APPEND _props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${_props})
  # Discovery hands its properties on as one flat list, so a test given LABELS there would keep
  # only the first label. The labels are set on the lists of discovered tests instead, by a
  # script ctest reads after the discovered tests.
  set(_labels_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${_labels_script}
       "if(DEFINED ${name}_TESTS)\n"
       "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\n"
       "endif()\n"
       "if(DEFINED ${name}_NOTO_TESTS)\n"
       "  set_tests_properties(\${${name}_NOTO_TESTS} PROPERTIES LABELS \"${T_LABELS};fonts\")\n"
       "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_labels_script})
endfunction()

# tessaban_fuzzer(NAME SOURCE [DEPS libs...]): a libFuzzer target.
function(tessaban_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${F_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
endfunction()

# tessaban_bench(NAME SOURCES... [DEPS libs...]): a Google Benchmark binary.
function(tessaban_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${TESSABAN_WARNINGS})
  target_link_libraries(${name} PRIVATE ${B_DEPS} benchmark::benchmark benchmark::benchmark_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endfunction()
