# What the Windows build adds to the top-level CMakeLists.

# Windows finds a program's DLLs in the program's own folder: every program
# and library of the build goes to bin/ (MODULE libraries too).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

# Test programs cannot run at build time when cross-compiling; list their
# cases when ctest runs them.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

if(STRATAVOX_WINDOWS_PREFIX)
  # Everything in the prefix but lib3mf is static; so is zlib (Debian's
  # mingw package has a DLL as well).
  set(OPENSSL_USE_STATIC_LIBS TRUE)
  set(ZLIB_USE_STATIC_LIBS TRUE)
  # RapidJSON and RapidXML as system headers: their own warnings are not ours.
  include_directories(SYSTEM ${STRATAVOX_WINDOWS_PREFIX}/isystem)
  file(GLOB prefix_dlls ${STRATAVOX_WINDOWS_PREFIX}/bin/*.dll)
  file(COPY ${prefix_dlls} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()

# mingw-w64's C++ runtime, its unwinder and its threads are DLLs shared by
# every module of a process (a static copy per module would give the add-in,
# the host library and each program a runtime of their own).
if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${dll_path}")
      message(FATAL_ERROR "the compiler does not know ${dll}")
    endif()
    file(COPY ${dll_path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endforeach()
endif()
