# The external libraries the installed static libraries link: the build finds them with
# find_package(... REQUIRED), and the installed package config with find_dependency(),
# from this one list (each side defines morvane_dependency before including it). An area
# that links a new external library adds its line here.
# Libraries that only the build's own programs use (Duktape in the content process,
# stb_image's header, the test and benchmark libraries) are found where they are used.
morvane_dependency(Threads)
morvane_dependency(nlohmann_json 3)
morvane_dependency(CURL)
morvane_dependency(OpenSSL)
morvane_dependency(ICU COMPONENTS uc i18n)
# WebKitGTK, the platform's real web engine, is known to pkg-config only.
morvane_dependency(PkgConfig)
pkg_check_modules(MORVANE_WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
# The FFmpeg libraries behind platform/media, known to pkg-config only.
pkg_check_modules(MORVANE_FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale libswresample)
# Mesa's EGL and OpenGL ES 2 behind platform/gl, known to pkg-config only.
pkg_check_modules(MORVANE_GL REQUIRED IMPORTED_TARGET egl glesv2)
