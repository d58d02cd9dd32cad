# testkit: ydsprv-<version>-win64-tests.zip, the suite for a Windows machine without build tools. One folder:
# ydsprv.exe, every test program, run-tests.cmd, and the child programs in children\ (the layout the tests
# find their programs in, as in the build folder).
if(CMAKE_PROJECT_VERSION)
  set(YD_KIT_VERSION ${CMAKE_PROJECT_VERSION})
elseif(EXISTS ${CMAKE_SOURCE_DIR}/VERSION)
  file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION YD_KIT_VERSION LIMIT_COUNT 1)
  string(STRIP "${YD_KIT_VERSION}" YD_KIT_VERSION)
else()
  set(YD_KIT_VERSION 0.0.0)
endif()
set(YD_KIT_NAME ydsprv-${YD_KIT_VERSION}-win64-tests)

# The programs are collected when the whole folder is read, so test programs added after this file count too.
function(yd_testkit)
  get_property(tests DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  list(FILTER tests INCLUDE REGEX "^test_")
  get_property(children DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/Children PROPERTY BUILDSYSTEM_TARGETS)
  list(FILTER children EXCLUDE REGEX "^yd_children$")
  set(test_files "")
  foreach(t ${tests})
    list(APPEND test_files $<TARGET_FILE:${t}>)
  endforeach()
  set(child_files "")
  foreach(t ${children})
    list(APPEND child_files $<TARGET_FILE:${t}>)
  endforeach()
  string(REPLACE ";" "|" test_files "${test_files}")
  string(REPLACE ";" "|" child_files "${child_files}")
  add_custom_target(testkit
    COMMAND ${CMAKE_COMMAND} -DSTAGE=${CMAKE_BINARY_DIR}/testkit -DNAME=${YD_KIT_NAME}
            -DZIP=${CMAKE_BINARY_DIR}/${YD_KIT_NAME}.zip -DSPRV=$<TARGET_FILE:ydsprv>
            -DTESTS=${test_files} -DCHILDREN=${child_files} -DCMD=${CMAKE_CURRENT_SOURCE_DIR}/run-tests.cmd
            -P ${CMAKE_CURRENT_SOURCE_DIR}/TestKitStage.cmake
    BYPRODUCTS ${CMAKE_BINARY_DIR}/${YD_KIT_NAME}.zip
    COMMENT "Test kit ${YD_KIT_NAME}.zip"
    VERBATIM)
  add_dependencies(testkit ydsprv ${tests} ${children})
endfunction()
cmake_language(DEFER CALL yd_testkit)
