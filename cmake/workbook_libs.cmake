# The libraries behind .xlsx input and output: libzip for the container,
# expat for the XML inside it, libxlsxwriter to write workbooks. Found
# through pkg-config; scripts/setup.sh installs them on Debian.
find_package(PkgConfig QUIET)
if(NOT PKG_CONFIG_FOUND)
  message(FATAL_ERROR "pkg-config not found: it is needed to find libzip, expat and libxlsxwriter "
                      "(Debian package pkg-config; run scripts/setup.sh)")
endif()

set(KAVELON_WORKBOOK_LIBS)
foreach(module_package libzip:libzip-dev expat:libexpat1-dev xlsxwriter:libxlsxwriter-dev)
  string(REPLACE ":" ";" pair ${module_package})
  list(GET pair 0 module)
  list(GET pair 1 package)
  string(TOUPPER ${module} prefix)
  pkg_check_modules(KAVELON_${prefix} QUIET IMPORTED_TARGET ${module})
  if(NOT KAVELON_${prefix}_FOUND)
    message(FATAL_ERROR "${module} not found by pkg-config: .xlsx input and output need it "
                        "(Debian package ${package}; run scripts/setup.sh)")
  endif()
  list(APPEND KAVELON_WORKBOOK_LIBS PkgConfig::KAVELON_${prefix})
endforeach()
