# The distribution's hardening flags: stack protector, FORTIFY_SOURCE, format checks, full
# RELRO with immediate binding, and position-independent executables. Taken from
# dpkg-buildflags where it exists, so the package is built as Debian builds its own.
# Optimisation and debug info stay those of the build type.
find_program(KALVORA_DPKG_BUILDFLAGS dpkg-buildflags)
if(KALVORA_DPKG_BUILDFLAGS)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${KALVORA_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(KALVORA_HARDENING_${kind} ${flags})
  endforeach()
  list(FILTER KALVORA_HARDENING_CXXFLAGS EXCLUDE REGEX "^-(O|g|ffile-prefix-map)")
else()
  set(KALVORA_HARDENING_CPPFLAGS -D_FORTIFY_SOURCE=2)
  set(KALVORA_HARDENING_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
  set(KALVORA_HARDENING_LDFLAGS -Wl,-z,relro -Wl,-z,now)
endif()
# Newer Debian releases add these two; hardening-check asks for them already.
include(CheckCXXCompilerFlag)
foreach(flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "KALVORA_HAS${flag}" supported)
  check_cxx_compiler_flag(${flag} ${supported})
  if(${supported} AND NOT flag IN_LIST KALVORA_HARDENING_CXXFLAGS)
    list(APPEND KALVORA_HARDENING_CXXFLAGS ${flag})
  endif()
endforeach()
add_compile_options(${KALVORA_HARDENING_CPPFLAGS} ${KALVORA_HARDENING_CXXFLAGS})
add_link_options(${KALVORA_HARDENING_LDFLAGS})

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
