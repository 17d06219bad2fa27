# The editor's data resources, embedded into quendle_core under :/quendle.
# Every file is stored under its name in capitals (OCTAVE, STYLE_3, ...); the
# lookup in platform/Resources.cpp ignores letter case.
#
# The algorithm and firmware images are the maker's and cannot ship with the
# sources, so by default the build makes stand-ins of the same shape with
# scripts/generate_standins.py. Point QUENDLE_IMAGES_DIR at a folder holding
# the maker's QUENDLE_MK3_0008 (hex text) and FIRMWARE_4 (binary) to embed
# those instead.

find_package(Python3 3.9 REQUIRED COMPONENTS Interpreter)
set(_quendle_res_dir ${CMAKE_CURRENT_LIST_DIR})
get_filename_component(_quendle_top_dir ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)

if(QUENDLE_IMAGES_DIR)
  get_filename_component(_quendle_images ${QUENDLE_IMAGES_DIR} ABSOLUTE
                         BASE_DIR ${CMAKE_BINARY_DIR})
  foreach(_image QUENDLE_MK3_0008 FIRMWARE_4)
    if(NOT EXISTS ${_quendle_images}/${_image} OR IS_DIRECTORY ${_quendle_images}/${_image})
      message(FATAL_ERROR
        "QUENDLE_IMAGES_DIR is '${QUENDLE_IMAGES_DIR}', but ${_quendle_images} holds no "
        "file named ${_image}. Put the maker's QUENDLE_MK3_0008 (hex text) and "
        "FIRMWARE_4 (binary) there under exactly these names, or clear "
        "QUENDLE_IMAGES_DIR to build with the generated stand-ins.")
    endif()
  endforeach()
  set(QUENDLE_USES_STANDIN_IMAGES OFF)
  message(STATUS "Quendle images: the maker's, from ${_quendle_images}")
else()
  set(_quendle_images ${CMAKE_BINARY_DIR}/generated/standin-images)
  add_custom_command(
    OUTPUT ${_quendle_images}/QUENDLE_MK3_0008 ${_quendle_images}/FIRMWARE_4
    COMMAND Python3::Interpreter ${_quendle_top_dir}/scripts/generate_standins.py
            --out ${_quendle_images}
    DEPENDS ${_quendle_top_dir}/scripts/generate_standins.py
    COMMENT "Making the stand-in algorithm and firmware images"
    VERBATIM)
  set_source_files_properties(
    ${_quendle_images}/QUENDLE_MK3_0008 ${_quendle_images}/FIRMWARE_4
    PROPERTIES GENERATED TRUE)
  set(QUENDLE_USES_STANDIN_IMAGES ON)
  message(STATUS "Quendle images: generated stand-ins (set QUENDLE_IMAGES_DIR for the maker's)")
endif()
set(QUENDLE_IMAGES_FOLDER ${_quendle_images})

# The ticks and arrows that the looks draw into check boxes, menu items and
# drop-down lists.
set(_quendle_glyphs ${CMAKE_BINARY_DIR}/generated/look-images)
set(_quendle_glyph_files)
foreach(_glyph MARK ARROW)
  foreach(_colour LIGHT DARK GREY)
    list(APPEND _quendle_glyph_files ${_quendle_glyphs}/${_glyph}_${_colour}.PNG)
  endforeach()
endforeach()
add_custom_command(
  OUTPUT ${_quendle_glyph_files}
  COMMAND Python3::Interpreter ${_quendle_top_dir}/scripts/draw_look_images.py
          --out ${_quendle_glyphs}
  DEPENDS ${_quendle_top_dir}/scripts/draw_look_images.py
  COMMENT "Drawing the ticks and arrows of the looks"
  VERBATIM)
set_source_files_properties(${_quendle_glyph_files} PROPERTIES GENERATED TRUE)

# The window icon, drawn from the SVG at build time (the SVG itself stays for
# the desktop's launcher and for any other size).
add_executable(quendle-render-icon ${_quendle_top_dir}/scripts/render_icon.cpp)
target_link_libraries(quendle-render-icon PRIVATE Qt6::Gui)
set(_quendle_icon_png ${CMAKE_BINARY_DIR}/generated/icon/APP_ICON.ARGB32)
add_custom_command(
  OUTPUT ${_quendle_icon_png}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/icon
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:quendle-render-icon> ${_quendle_res_dir}/icons/quendle-editor.svg
          ${_quendle_icon_png} 128
  DEPENDS quendle-render-icon ${_quendle_res_dir}/icons/quendle-editor.svg
  COMMENT "Drawing the window icon"
  VERBATIM)
set_source_files_properties(${_quendle_icon_png} PROPERTIES GENERATED TRUE)

# file -> name as stored
set(_quendle_resources
    "${_quendle_res_dir}/catalogue/octave.txt=OCTAVE"
    "${_quendle_images}/QUENDLE_MK3_0008=QUENDLE_MK3_0008"
    "${_quendle_images}/FIRMWARE_4=FIRMWARE_4"
    "${_quendle_res_dir}/docs/fxinfo_quendle_mk3_0008.html=FXINFO_QUENDLE_MK3_0008.HTML"
    "${_quendle_res_dir}/icons/quendle-editor.svg=APP_ICON.SVG")
foreach(_file ${_quendle_glyph_files})
  get_filename_component(_name ${_file} NAME)
  list(APPEND _quendle_resources "${_file}=${_name}")
endforeach()

# What every start reads: a look and the window icon. They are stored without
# compression (a look is also stored without its comments), so a start does
# not unpack them; they add some 120 KiB to the program.
set(_quendle_looks ${CMAKE_BINARY_DIR}/generated/looks)
set(_quendle_start_resources "${_quendle_icon_png}=APP_ICON.ARGB32")
foreach(_look RANGE 7)
  set(_packed ${_quendle_looks}/style_${_look}.qss)
  add_custom_command(
    OUTPUT ${_packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_quendle_looks}
    COMMAND Python3::Interpreter ${_quendle_top_dir}/scripts/pack_look.py
            ${_quendle_res_dir}/looks/style_${_look}.qss ${_packed}
    DEPENDS ${_quendle_top_dir}/scripts/pack_look.py ${_quendle_res_dir}/looks/style_${_look}.qss
    COMMENT "Packing look ${_look}"
    VERBATIM)
  set_source_files_properties(${_packed} PROPERTIES GENERATED TRUE)
  list(APPEND _quendle_start_resources "${_packed}=STYLE_${_look}")
endforeach()

function(_quendle_resource_files out)
  set(_files)
  foreach(_entry ${ARGN})
    string(FIND ${_entry} "=" _eq REVERSE)
    string(SUBSTRING ${_entry} 0 ${_eq} _file)
    math(EXPR _eq "${_eq} + 1")
    string(SUBSTRING ${_entry} ${_eq} -1 _alias)
    set_source_files_properties(${_file} PROPERTIES QT_RESOURCE_ALIAS ${_alias})
    list(APPEND _files ${_file})
  endforeach()
  set(${out} ${_files} PARENT_SCOPE)
endfunction()

_quendle_resource_files(_files ${_quendle_resources})
qt_add_resources(quendle_core "quendle"
    PREFIX "/quendle"
    FILES ${_files})
_quendle_resource_files(_start_files ${_quendle_start_resources})
qt_add_resources(quendle_core "quendle_start"
    PREFIX "/quendle"
    OPTIONS -no-compress
    FILES ${_start_files})
