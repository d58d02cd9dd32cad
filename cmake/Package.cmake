# The release zip: `cmake --build build --target package` makes ydsprv-<version>-win64.zip.
# Only the component "Runtime" goes into it; test programs and children install nothing.
set(YD_PKG_DIR ${CMAKE_BINARY_DIR}/pkg)
# Notepad before Windows 10 1809 shows a text with bare LF line ends as one line: CR LF in the zip.
foreach(f docs/ydsprv-guide-ru.txt docs/ydsprv.wli.sample LICENSE)
  get_filename_component(n ${f} NAME)
  configure_file(${f} ${YD_PKG_DIR}/${n} @ONLY NEWLINE_STYLE CRLF)
  list(APPEND YD_PKG_TEXTS ${YD_PKG_DIR}/${n})
endforeach()
install(TARGETS ydsprv RUNTIME DESTINATION . COMPONENT Runtime)
install(FILES ${YD_PKG_TEXTS} DESTINATION . COMPONENT Runtime)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ydsprv)
set(CPACK_PACKAGE_VENDOR "ydsprv authors")
set(CPACK_PACKAGE_FILE_NAME ydsprv-${PROJECT_VERSION}-win64)
# Windows' "Extract all" already makes a folder named after the zip.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENTS_ALL Runtime)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
