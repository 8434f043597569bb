# Shared build helpers.
include(GenerateExportHeader)

# Warning flags live on an INTERFACE target so every project target gets the
# same set without touching global flags.
add_library(quillon_warnings INTERFACE)
target_compile_options(quillon_warnings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra>
  $<$<BOOL:${QUILLON_WERROR}>:-Werror>)

add_library(quillon_sanitizers INTERFACE)
if(QUILLON_SANITIZE)
  target_compile_options(quillon_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(quillon_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# quillon_add_library(NAME <target> OUTPUT <name> DIR <folder> EXPORT_MACRO <M>
#                     DEPS <targets...> [LIBS <external libs...>])
#
# Builds the sources of <folder> (globbed, non-recursive plus <folder>/*/ one
# level) once as an OBJECT library, then links them into:
#   <target>        a shared library with hidden visibility and an export macro
#   <target>_static a static archive of the same objects, for tests and fuzzers,
#                   which need the internal classes as well.
function(quillon_add_library)
  cmake_parse_arguments(Q "" "NAME;OUTPUT;EXPORT_MACRO;EXPORT_HEADER" "DIRS;DEPS;LIBS" ${ARGN})
  set(srcs)
  foreach(d IN LISTS Q_DIRS)
    file(GLOB s CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${d}/*.cpp)
    list(APPEND srcs ${s})
  endforeach()
  add_library(${Q_NAME}_objects OBJECT ${srcs})
  set_target_properties(${Q_NAME}_objects PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # Calls inside a library to its own exported functions are bound there (no
  # replacement of them from outside is supported), so the compiler may
  # inline them instead of calling through the procedure linkage table.
  target_compile_options(${Q_NAME}_objects PRIVATE
    $<$<CXX_COMPILER_ID:GNU,Clang>:-fno-semantic-interposition>)
  target_include_directories(${Q_NAME}_objects PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/exports>)
  target_link_libraries(${Q_NAME}_objects PUBLIC ${Q_LIBS} PRIVATE quillon_warnings quillon_sanitizers)
  foreach(dep IN LISTS Q_DEPS)
    target_link_libraries(${Q_NAME}_objects PUBLIC ${dep}_objects)
  endforeach()

  add_library(${Q_NAME} SHARED $<TARGET_OBJECTS:${Q_NAME}_objects>)
  # Installed libraries find the libraries they depend on beside themselves.
  set_target_properties(${Q_NAME} PROPERTIES OUTPUT_NAME ${Q_OUTPUT}
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    INSTALL_RPATH "$ORIGIN")
  target_include_directories(${Q_NAME} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/exports>
    $<INSTALL_INTERFACE:include/quillon>)
  target_link_libraries(${Q_NAME} PUBLIC ${Q_DEPS} ${Q_LIBS} PRIVATE quillon_sanitizers)

  add_library(${Q_NAME}_static STATIC $<TARGET_OBJECTS:${Q_NAME}_objects>)
  target_include_directories(${Q_NAME}_static PUBLIC
    ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/exports)
  foreach(dep IN LISTS Q_DEPS)
    target_link_libraries(${Q_NAME}_static PUBLIC ${dep}_static)
  endforeach()
  target_link_libraries(${Q_NAME}_static PUBLIC ${Q_LIBS} quillon_sanitizers)

  generate_export_header(${Q_NAME}_objects
    BASE_NAME ${Q_EXPORT_MACRO}
    EXPORT_MACRO_NAME ${Q_EXPORT_MACRO}_API
    EXPORT_FILE_NAME ${PROJECT_BINARY_DIR}/exports/${Q_EXPORT_HEADER}
    DEFINE_NO_DEPRECATED)
endfunction()

# quillon_add_test(<name> DIR <tests folder> DEPS <targets...>)
function(quillon_add_test name)
  cmake_parse_arguments(T "" "DIR" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${T_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gmock GTest::gtest_main
    quillon_warnings quillon_sanitizers)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    QUILLON_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QUILLON_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
endfunction()
