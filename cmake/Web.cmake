# Web.cmake - the web platform's build settings, under Emscripten's toolchain
# (emcmake cmake; scripts/web does it): the sources of *Web.cpp, Emscripten's
# own GLFW, GL emulation and GLEW, and no tests or tools (they need the
# desktop). web/CMakeLists.txt makes the page's folder, build-web/site.
if(ORV_BUILD_TESTS OR ORV_BUILD_TOOLS)
  message(STATUS "The web build makes the page only: no tests and tools")
  set(ORV_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  set(ORV_BUILD_TOOLS OFF CACHE BOOL "" FORCE)
endif()

# Emscripten's GLFW 3 port, its GL headers and its GLEW, a stand-in whose
# glewInit succeeds, are linked by web/CMakeLists.txt.
set(ORV_PLATFORM_LIBS "")
set(ORV_IMPORT_LIBS "")
