# The engine library: every engine folder, the command-line parser and the
# generated lexer and parser, declared once for the program, the tests, the
# benchmarks and the fuzz targets. Adding a file to a folder is all it takes to
# build it; a new folder is added to ENGINE_FOLDERS here and nowhere else.
#
# Expects TALPINE_ROOT; defines talpine_engine_sources(OUT_VAR) and
# add_talpine_engine(TARGET) with its include folders, definitions and links.

set(ENGINE_FOLDERS platform core script mesh resources media lighting effects commands frame)

find_package(OpenGL REQUIRED)
find_package(SDL2 REQUIRED)
find_package(Threads REQUIRED)
find_package(FLEX REQUIRED)
find_package(BISON REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
# glTF meshes: tinygltf's header, its implementation compiled once in
# mesh/gltf_library.cpp, and the JSON library it parses with.
find_path(TINYGLTF_INCLUDE_DIR tiny_gltf.h REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
# Music tracks (libsndfile: WAV, FLAC, Ogg Vorbis, MP3), for media/; video
# files and resampling through FFmpeg's libraries, which only the FFmpeg module
# (media/ffmpeg/, loaded when a run needs it) links.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale libswresample)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)

function(add_talpine_engine target)
  set(sources)
  foreach(folder ${ENGINE_FOLDERS})
    file(GLOB_RECURSE folder_sources CONFIGURE_DEPENDS ${TALPINE_ROOT}/${folder}/*.cpp)
    list(APPEND sources ${folder_sources})
  endforeach()
  list(FILTER sources EXCLUDE REGEX "/media/ffmpeg/")
  # The command-line parser is tested too, so only the entry point stays outside.
  file(GLOB app_sources CONFIGURE_DEPENDS ${TALPINE_ROOT}/app/*.cpp)
  list(REMOVE_ITEM app_sources ${TALPINE_ROOT}/app/main.cpp)
  list(APPEND sources ${app_sources})

  # The lexer and parser are generated; the token numbers the lexer promises
  # come from the order of the grammar's %token list (see script/grammar.y).
  set(generated ${CMAKE_BINARY_DIR}/generated)
  file(MAKE_DIRECTORY ${generated}/script)
  bison_target(ScriptParser ${TALPINE_ROOT}/script/grammar.y ${generated}/script/grammar.cpp
               DEFINES_FILE ${generated}/script/grammar.hpp)
  flex_target(ScriptLexer ${TALPINE_ROOT}/script/lexer.l ${generated}/script/lexer.cpp)
  add_flex_bison_dependency(ScriptLexer ScriptParser)
  list(APPEND sources ${BISON_ScriptParser_OUTPUTS} ${FLEX_ScriptLexer_OUTPUTS})

  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${TALPINE_ROOT} ${generated} ${FREEIMAGE_INCLUDE_DIR})
  target_include_directories(${target} SYSTEM PUBLIC ${TINYGLTF_INCLUDE_DIR})
  target_compile_definitions(${target} PUBLIC TALPINE_VERSION="${PROJECT_VERSION}")
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  target_link_libraries(${target} PUBLIC SDL2::SDL2 OpenGL::GL OpenGL::GLU Threads::Threads ${FREEIMAGE_LIBRARY}
                        nlohmann_json::nlohmann_json PkgConfig::SNDFILE ${CMAKE_DL_LIBS})

  # The FFmpeg module, beside the program; a program of this build that lives
  # elsewhere (tests, benchmarks) finds it in the build folder.
  if(NOT TARGET talpine_ffmpeg)
    file(GLOB module_sources CONFIGURE_DEPENDS ${TALPINE_ROOT}/media/ffmpeg/*.cpp)
    add_library(talpine_ffmpeg MODULE ${module_sources})
    set_target_properties(talpine_ffmpeg PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    target_include_directories(talpine_ffmpeg PRIVATE ${TALPINE_ROOT})
    target_compile_options(talpine_ffmpeg PRIVATE -Wall -Wextra)
    target_link_libraries(talpine_ffmpeg PRIVATE PkgConfig::FFMPEG)
  endif()
  add_dependencies(${target} talpine_ffmpeg)
  target_compile_definitions(${target} PRIVATE TALPINE_MODULE_DIR="${CMAKE_BINARY_DIR}")
endfunction()
