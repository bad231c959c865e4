# Read by cpack before it builds a package. CPack archives file names through the C library's
# character conversion, which fails on the samples' non-ASCII names under the plain C locale of a
# machine with no locale selected; C.UTF-8 is always there on Debian.
set(_thinwick_ctype "$ENV{LC_ALL}")
if(_thinwick_ctype STREQUAL "")
  set(_thinwick_ctype "$ENV{LC_CTYPE}")
endif()
if(_thinwick_ctype STREQUAL "")
  set(_thinwick_ctype "$ENV{LANG}")
endif()
if(NOT _thinwick_ctype MATCHES "[Uu][Tt][Ff]-?8")
  set(ENV{LC_ALL} C.UTF-8)
endif()
