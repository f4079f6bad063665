# Third-party code the program builds with: nlohmann-json, stb_image, pugixml (wide-character
# build), zlib and GoogleTest. Header-only libraries are staged into the build tree so that the
# cross compiler never sees /usr/include (glibc's headers would shadow mingw's).

set(ORVIX_STAGED_INCLUDE ${CMAKE_BINARY_DIR}/staged_include)
file(MAKE_DIRECTORY ${ORVIX_STAGED_INCLUDE}/stb)
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann-json3-dev is missing: run scripts/setup.sh")
endif()
file(COPY /usr/include/nlohmann DESTINATION ${ORVIX_STAGED_INCLUDE})
foreach(h stb_image.h stb_image_write.h)
  file(COPY /usr/include/stb/${h} DESTINATION ${ORVIX_STAGED_INCLUDE}/stb)
endforeach()

add_library(orvix_json INTERFACE)
target_include_directories(orvix_json SYSTEM INTERFACE ${ORVIX_STAGED_INCLUDE})
add_library(orvix_stb INTERFACE)
target_include_directories(orvix_stb SYSTEM INTERFACE ${ORVIX_STAGED_INCLUDE})

set(ORVIX_PUGIXML_DIR ${CMAKE_SOURCE_DIR}/third_party/pugixml)
if(NOT EXISTS ${ORVIX_PUGIXML_DIR}/src/pugixml.cpp)
  message(FATAL_ERROR "pugixml source is missing in third_party/pugixml: run scripts/setup.sh")
endif()
add_library(pugixml STATIC ${ORVIX_PUGIXML_DIR}/src/pugixml.cpp)
target_include_directories(pugixml SYSTEM PUBLIC ${ORVIX_PUGIXML_DIR}/src)
target_compile_definitions(pugixml PUBLIC PUGIXML_WCHAR_MODE)

# The program links statically: without this the mingw search settles on the import library of
# zlib1.dll, which is not shipped.
if(ORVIX_TARGET)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(ORVIX_TARGET)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Static runtime: the shipped program needs no mingw DLLs next to it.
  add_link_options(-static -static-libgcc -static-libstdc++)
elseif(ORVIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
