# Debian's hardening for optimised builds: the flags that dpkg-buildflags
# gives with every hardening feature on (fortified functions, stack
# protector, read-only relocations bound at start-up), less its choice of
# optimisation and debugging, which the build type makes. Sanitizer and
# unoptimised builds go without: fortification needs optimisation.
option(TAVLUN_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(TAVLUN_DPKG_BUILDFLAGS dpkg-buildflags)
set(TAVLUN_HARDENED OFF)
if(TAVLUN_HARDENING AND TAVLUN_DPKG_BUILDFLAGS AND NOT TAVLUN_SANITIZE AND NOT TAVLUN_FUZZ AND NOT WIN32
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  function(tavlun_buildflags variable out)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${TAVLUN_DPKG_BUILDFLAGS} --get ${variable}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O.*|ffile-prefix-map=.*)$")
    set(${out} ${flags} PARENT_SCOPE)
  endfunction()
  tavlun_buildflags(CPPFLAGS cppflags)
  tavlun_buildflags(CXXFLAGS cxxflags)
  tavlun_buildflags(LDFLAGS ldflags)
  target_compile_options(tavlun_warnings INTERFACE ${cppflags} ${cxxflags})
  target_link_options(tavlun_warnings INTERFACE ${ldflags})
  set(TAVLUN_HARDENED ON)
  message(STATUS "Hardening: ${cppflags} ${cxxflags} ${ldflags}")
endif()
