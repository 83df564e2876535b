# One interface target carries the language standard, warnings and defines for every target.
add_library(wyc_common INTERFACE)
target_compile_features(wyc_common INTERFACE cxx_std_20)
target_compile_options(wyc_common INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
target_include_directories(wyc_common INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(wyc_common INTERFACE
    WYC_DEFAULT_VENDOR_BASE="${WYC_DEFAULT_VENDOR_BASE}")
if(WYC_SANITIZE)
  target_compile_options(wyc_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=undefined)
  target_link_options(wyc_common INTERFACE -fsanitize=address,undefined)
endif()
if(WYC_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "WYC_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  target_compile_options(wyc_common INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(wyc_common INTERFACE -fsanitize=address,undefined)
endif()
if(WYC_WERROR)
  target_compile_options(wyc_common INTERFACE -Werror)
endif()
