# vorlex-render from the outside: exit codes and messages for bad input, and the
# pictures it leaves for good input.
# -DRENDER=vorlex-render -DGLYPHS=glyph2.ani -DDATA=tools/tests/data -DWORK=dir
foreach(var RENDER GLYPHS DATA WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "render_cli_test: -D${var}=... missing")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

set(failures 0)
# expect(<exit code> <regex for stdout+stderr> args...)
function(expect code pattern)
  execute_process(COMMAND ${RENDER} ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  if(NOT rc STREQUAL code OR NOT out MATCHES "${pattern}")
    message(SEND_ERROR "vorlex-render ${ARGN}\n  exit ${rc} (want ${code}), output:\n${out}  want: ${pattern}")
  endif()
endfunction()

# Width and height from a PNG's IHDR chunk (big-endian at offsets 16 and 20).
function(png_size file out)
  file(READ ${file} ihdr HEX OFFSET 16 LIMIT 8)
  string(SUBSTRING ${ihdr} 0 8 w)
  string(SUBSTRING ${ihdr} 8 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  set(${out} "${w}x${h}" PARENT_SCOPE)
endfunction()

# Command line.
expect(0 "Usage: vorlex-render" --help)
expect(0 "Usage: vorlex-render" --density 5 -h)
expect(2 "unknown option '--bogus'" --bogus)
expect(2 "unknown option 'rain.png'" rain.png)
expect(2 "--density must be a whole number from 0 to 400, not '401'" --density 401)
expect(2 "--highlight must be a whole number from 0 to 100, not '-1'" --highlight=-1)
expect(2 "--frames must be a whole number from 1 to 100000, not '0'" -n 0)
expect(2 "--layout must be 555 or 565, not '888'" --layout 888)
expect(2 "--resolution must be 800x600" --resolution 0x600)
expect(2 "option --seed needs a value" --seed)
expect(2 "Try 'vorlex-render --help'" -r)

# Glyph files.
expect(3 "missing.ani: No such file or directory" --glyphs ${WORK}/missing.ani)
expect(3 "Wrong file format version, found 3" --glyphs ${DATA}/wrong_version.ani)
expect(3 "not a usable glyph set: 10 frames of 2x2" --glyphs ${DATA}/too_few_frames.ani)

# Output that cannot be written leaves no picture and says where.
expect(4 "${WORK}/no/such/dir/x.png" --glyphs ${GLYPHS} -r 32x32 -n 1 --png ${WORK}/no/such/dir/x.png)
file(WRITE ${WORK}/plain_file "")
expect(4 "plain_file: not a directory" --glyphs ${GLYPHS} -r 32x32 -n 1 --output ${WORK}/plain_file)

# Good runs: every frame, the last one, both layouts, any size.
expect(0 "3 frames of 100x60 \\(5-5-5\\)" --glyphs ${GLYPHS} -r 100x60 -n 3 -l 555 -o ${WORK}/frames -p ${WORK}/last.png)
foreach(f frames/frame_00001.png frames/frame_00003.png last.png)
  if(NOT EXISTS ${WORK}/${f})
    message(SEND_ERROR "${f} was not written")
  endif()
endforeach()
if(EXISTS ${WORK}/frames/frame_00004.png)
  message(SEND_ERROR "a fourth frame was written")
endif()
png_size(${WORK}/last.png size)
if(NOT size STREQUAL "100x60")
  message(SEND_ERROR "last.png is ${size}, not 100x60")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/last.png ${WORK}/frames/frame_00003.png
                RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(SEND_ERROR "--png and the last of --output differ")
endif()

# Without an output option the last frame lands in rain.png.
expect(0 "last frame: rain.png" --glyphs ${GLYPHS} -r 800x600 -n 2)
png_size(${WORK}/rain.png size)
if(NOT size STREQUAL "800x600")
  message(SEND_ERROR "rain.png is ${size}, not 800x600")
endif()

# The seed decides the picture: the same seed twice gives the same file, another seed not.
foreach(run a:7 b:7 c:8)
  string(REPLACE ":" ";" run ${run})
  list(GET run 0 name)
  list(GET run 1 seed)
  expect(0 "seed ${seed}" --glyphs ${GLYPHS} -r 200x150 -n 20 -s ${seed} -p ${WORK}/seed_${name}.png)
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/seed_a.png ${WORK}/seed_b.png RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(SEND_ERROR "the same seed gave different pictures")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/seed_a.png ${WORK}/seed_c.png RESULT_VARIABLE differs)
if(differs EQUAL 0)
  message(SEND_ERROR "seeds 7 and 8 gave the same picture")
endif()

# No streams: nothing but blank cells, so every frame is the same (black) picture.
expect(0 "0 streams" --glyphs ${GLYPHS} -r 64x64 -n 2 -d 0 -o ${WORK}/empty)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/empty/frame_00001.png ${WORK}/empty/frame_00002.png
                RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(SEND_ERROR "with no streams two frames differ")
endif()

# The animated GIF, where ImageMagick is there.
find_program(CONVERT convert)
if(CONVERT)
  expect(0 "animation: ${WORK}/rain.gif" --glyphs ${GLYPHS} -r 96x64 -n 4 -a ${WORK}/rain.gif)
  file(READ ${WORK}/rain.gif magic HEX LIMIT 6)
  if(NOT magic STREQUAL "474946383961")  # GIF89a
    message(SEND_ERROR "rain.gif is not a GIF: '${magic}'")
  endif()
else()
  message(STATUS "convert not found: GIF output not tested")
endif()
