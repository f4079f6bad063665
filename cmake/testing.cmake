# orvix_add_test(NAME name SOURCES ... LIBS ...)
# One GoogleTest executable, registered with CTest. In the target build CTest runs it through
# Wine (the toolchain's emulator); the test script provides the display and the Wine prefix.
enable_testing()

function(orvix_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gmock gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 300)
endfunction()
