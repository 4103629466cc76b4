# Faster builds where the tools are installed; the build needs neither.

# ccache serves unchanged compilations from its cache, unless a launcher was chosen already. The
# precompiled headers of the tests are cached only when ccache overlooks their defines and times.
find_program(TUNEVALE_CCACHE ccache)
find_program(TUNEVALE_ENV env)
if(TUNEVALE_CCACHE AND TUNEVALE_ENV AND NOT CMAKE_CXX_COMPILER_LAUNCHER AND NOT CMAKE_C_COMPILER_LAUNCHER)
  set(launcher ${TUNEVALE_ENV}
    CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime ${TUNEVALE_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

# lld links the test programs faster than ld.bfd.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld TUNEVALE_LINKS_WITH_LLD)
if(TUNEVALE_LINKS_WITH_LLD)
  add_link_options(-fuse-ld=lld)
endif()
