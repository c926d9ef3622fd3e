# The GL and EGL loaders are generated into the build tree by the distribution's
# glad 2 generator, from the registry files it ships (no network at configure
# time). EGL, for rendering with no display server, is opened at run time by
# glad's own loader, so a machine without libEGL still runs windows.
find_program(GLAD_GENERATOR glad REQUIRED)
set(GLAD_API "gl:core=4.5,egl=1.5")
set(GLAD_EXTENSIONS "GL_KHR_debug,GL_MESA_framebuffer_flip_y,EGL_EXT_device_base,EGL_EXT_device_enumeration,\
EGL_EXT_platform_base,EGL_EXT_platform_device,EGL_KHR_create_context,EGL_KHR_no_config_context,\
EGL_KHR_surfaceless_context,EGL_MESA_platform_surfaceless")
set(GLAD_DIR "${CMAKE_BINARY_DIR}/glad")
set(GLAD_STAMP "${GLAD_DIR}/settings.txt")
set(GLAD_SETTINGS "${GLAD_API} ${GLAD_EXTENSIONS} loader")

if(NOT EXISTS "${GLAD_STAMP}" OR NOT EXISTS "${GLAD_DIR}/src/gl.c")
  set(GLAD_OLD_SETTINGS "")
else()
  file(READ "${GLAD_STAMP}" GLAD_OLD_SETTINGS)
endif()
if(NOT GLAD_OLD_SETTINGS STREQUAL GLAD_SETTINGS)
  file(REMOVE_RECURSE "${GLAD_DIR}")
  execute_process(
    COMMAND "${GLAD_GENERATOR}" --quiet --reproducible --api "${GLAD_API}"
            --extensions "${GLAD_EXTENSIONS}" --out-path "${GLAD_DIR}" c --loader
    RESULT_VARIABLE GLAD_RESULT
    ERROR_VARIABLE GLAD_ERROR)
  if(NOT GLAD_RESULT EQUAL 0)
    message(FATAL_ERROR "glad generation failed: ${GLAD_ERROR}")
  endif()
  file(WRITE "${GLAD_STAMP}" "${GLAD_SETTINGS}")
endif()

add_library(glad STATIC "${GLAD_DIR}/src/gl.c" "${GLAD_DIR}/src/egl.c")
target_include_directories(glad SYSTEM PUBLIC "${GLAD_DIR}/include")
target_link_libraries(glad PUBLIC ${CMAKE_DL_LIBS})
