# Compiler settings shared by every target of the project.
add_library(clipora_options INTERFACE)
target_compile_options(clipora_options INTERFACE -Wall -Wextra)

# Pixel results must be bit-exact and reproducible: never fuse a multiply
# and an add into one instruction behind the source's back.
add_library(clipora_kernel_options INTERFACE)
target_compile_options(clipora_kernel_options INTERFACE -ffp-contract=off)
target_link_libraries(clipora_kernel_options INTERFACE clipora_options)

if(CLIPORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzzing instruments every library for coverage; the fuzz targets add the
# libFuzzer main themselves.
if(CLIPORA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
