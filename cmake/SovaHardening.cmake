# SPDX-License-Identifier: MIT
# Debian's default hardening, as dpkg-buildflags gives it with hardening=+all, for every build that
# is installed or packaged: the stack protector, fortified libc calls (they need optimisation, so
# not in Debug), full RELRO with BIND_NOW, and PIE executables. The sanitizer builds bring their own
# instrumentation and are never installed, so they are left as they are.
if(SOVA_SANITIZE OR SOVA_TSAN)
  return()
endif()

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_link_options(LINKER:-z,relro LINKER:-z,now)

include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
