# orvix_add_test(NAME name SOURCES ... LIBS ...)
# One GoogleTest executable, registered with CTest. In the target build CTest runs it through
# Wine (the toolchain's emulator); the test script provides the display and the Wine prefix.
enable_testing()

set(ORVIX_HOST_TEST_TMPDIR "${CMAKE_BINARY_DIR}/test-tmp")
file(MAKE_DIRECTORY "${ORVIX_HOST_TEST_TMPDIR}")

function(orvix_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gmock gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 300)
  if(NOT ORVIX_TARGET)
    # What host tests leave in the temporary folder (logs, fixture files) stays in the build tree.
    # Wine runs keep the machine's TMPDIR: with the run's own one, the Wine programs of the
    # install run tests lost their TEMP variable and chose another work drive (seen, cause not
    # tracked down).
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "TMPDIR=${ORVIX_HOST_TEST_TMPDIR}")
  endif()
endfunction()

# Host-side tests that drive programs of the target build under Wine (end-to-end tests written in
# Python or shell). They live in the host build because they also need host tools; scripts/test.sh
# builds both trees before it runs any test and provides DISPLAY and a warm WINEPREFIX. They share
# that prefix (registry, drives, temp folder), so they never run at the same time.
set(ORVIX_TARGET_BUILD_DIR "${CMAKE_BINARY_DIR}/../target" CACHE PATH "The target build tree that Wine tests use")

# orvix_add_wine_test(NAME name COMMAND ...)
function(orvix_add_wine_test)
  cmake_parse_arguments(T "" "NAME" "COMMAND" ${ARGN})
  if(ORVIX_TARGET)
    return()
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600 RESOURCE_LOCK wineprefix LABELS wine
    ENVIRONMENT "ORVIX_TARGET_BUILD_DIR=${ORVIX_TARGET_BUILD_DIR}")
endfunction()
