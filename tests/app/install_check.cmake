# Installs into a scratch prefix and checks that every desktop file landed
# where a file manager looks, with the entries that tie .one files to the
# program.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc})")
endif()
foreach(f bin/rotundel
          ${LIBDIR}/rotundel/rotundel_media_heavy.so
          share/rotundel/textures/earth256.bmp
          share/rotundel/examples/README.md
          share/rotundel/examples/flower.one
          share/applications/rotundel.desktop
          share/metainfo/io.github.rotundel.rotundel.metainfo.xml
          share/man/man1/rotundel.1.gz
          share/bash-completion/completions/rotundel
          share/mime/packages/rotundel.xml
          share/icons/hicolor/scalable/apps/rotundel.svg
          share/icons/hicolor/scalable/mimetypes/application-x-rotundel-automaton.svg)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/rotundel.desktop desktop)
foreach(line "Exec=rotundel %f" "Icon=rotundel" "MimeType=application/x-rotundel-automaton;")
  string(FIND "${desktop}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "rotundel.desktop lacks ${line}")
  endif()
endforeach()
file(READ ${PREFIX}/share/mime/packages/rotundel.xml mime)
foreach(part "type=\"application/x-rotundel-automaton\"" "<glob pattern=\"*.one\"/>"
             "<comment>Automaton Document</comment>")
  string(FIND "${mime}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "rotundel.xml lacks ${part}")
  endif()
endforeach()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/rotundel.desktop
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "rotundel.desktop does not validate")
  endif()
endif()
