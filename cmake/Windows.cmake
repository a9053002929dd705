# What a Windows build adds: SDL's own main() stays out of the way, the DLLs
# of SDL2 and FFmpeg go beside the game, and a cross build takes its
# resources tree from a native build.

add_compile_definitions(SDL_MAIN_HANDLED UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# <GL/gl.h> pulls in all of <windows.h> unless these two are known; its macros
# (SM_CXSCREEN, MB_OK, VK_ESCAPE...) would then clash with the platform layer's
# own constants. Only platform/'s Windows sources include <windows.h>.
add_compile_definitions("WINGDIAPI=__declspec(dllimport)" "APIENTRY=__stdcall" "CALLBACK=__stdcall")
# localtime_r and the other reentrant C functions of mingw-w64's headers.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)

# The DLLs the game and the test programs load, from the dependency folder.
set(REDAVAVE_WINDOWS_DLLS "")
if(REDAVAVE_WINDOWS_DEPS)
  file(GLOB REDAVAVE_WINDOWS_DLLS ${REDAVAVE_WINDOWS_DEPS}/bin/*.dll)
endif()
file(MAKE_DIRECTORY ${REDAVAVE_RUN_DIR})
foreach(dll IN LISTS REDAVAVE_WINDOWS_DLLS)
  file(COPY ${dll} DESTINATION ${REDAVAVE_RUN_DIR})
endforeach()

if(CMAKE_CROSSCOMPILING)
  set(REDAVAVE_NATIVE_RESOURCES "" CACHE PATH
    "The resources tree a native build generated (<native build>/run/resources)")
  if(REDAVAVE_NATIVE_RESOURCES)
    add_custom_target(resources ALL
      COMMAND ${CMAKE_COMMAND} -E copy_directory ${REDAVAVE_NATIVE_RESOURCES} ${REDAVAVE_RUN_DIR}/resources
      COMMENT "Copying the generated resources into ${REDAVAVE_RUN_DIR}"
      VERBATIM)
  endif()
endif()
