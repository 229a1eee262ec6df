# What `cmake --install` puts where, by the GNU directory conventions. The installation is
# relocatable: the programs find each other and the desktop module relative to their own real
# path, so any prefix works (cmake --install build --prefix DIR), and nothing names the build
# tree. The systemd user unit alone names the installed executable, as ExecStart= must be
# absolute.
include(GNUInstallDirs)

set(QS_INSTALL_PKGLIBDIR "${CMAKE_INSTALL_LIBDIR}/quarrystream"
    CACHE STRING "Private library folder of the desktop module, below the prefix")
set(QS_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/quarrystream"
    CACHE STRING "Documentation folder (copyright, changelog), below the prefix")
# Not below LIBDIR: systemd looks in lib/systemd/user under /usr and /usr/local only.
set(QS_INSTALL_SYSTEMD_USERUNITDIR "lib/systemd/user"
    CACHE STRING "Folder of systemd user units, below the prefix")

set(qs_dist "${PROJECT_SOURCE_DIR}/dist")

# The programs, side by side: quarrystream starts its companion from its own folder.
install(TARGETS mirrowen RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

if(TARGET quarrystream)
  install(TARGETS quarrystream RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  # The desktop module is dlopen()ed by full path, never through the library search path, so
  # it is a private library: no soname, no symlinks, not in the linker's folders.
  install(TARGETS quarrystream_desktop LIBRARY DESTINATION "${QS_INSTALL_PKGLIBDIR}"
          NAMELINK_SKIP)
  # The executable looks for the module beside itself (the build tree), then here.
  set(qs_full_pkglibdir "${CMAKE_INSTALL_PREFIX}/${QS_INSTALL_PKGLIBDIR}")
  if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${QS_INSTALL_PKGLIBDIR}")
    set(qs_full_pkglibdir "${QS_INSTALL_PKGLIBDIR}")
    message(WARNING "An absolute bin or library folder makes the installation not relocatable")
  endif()
  file(RELATIVE_PATH qs_module_from_bin "${CMAKE_INSTALL_FULL_BINDIR}" "${qs_full_pkglibdir}")
  target_compile_definitions(quarrystream PRIVATE
                             QS_INSTALLED_MODULE_DIR="${qs_module_from_bin}/")

  # Desktop integration: the menu entry, its icon in the hicolor theme, the AppStream record.
  install(FILES "${qs_dist}/quarrystream.desktop"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications")
  install(FILES "${qs_dist}/io.github.quarrystream.quarrystream.metainfo.xml"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/metainfo")
  install(FILES "${PROJECT_SOURCE_DIR}/res/quarrystream.svg"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps")
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES "${qs_dist}/icons/${size}x${size}/quarrystream.png"
            DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()

  # The background service: `quarrystream --headless` as a systemd user unit. ExecStart= must be
  # absolute, so the unit is written at install time for the prefix installed to.
  set(qs_unit "${PROJECT_BINARY_DIR}/dist/quarrystream.service")
  install(CODE "
    if(IS_ABSOLUTE \"${CMAKE_INSTALL_BINDIR}\")
      set(QS_INSTALL_FULL_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    else()
      set(QS_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    endif()
    configure_file(\"${qs_dist}/quarrystream.service.in\" \"${qs_unit}\" @ONLY)")
  install(FILES "${qs_unit}" DESTINATION "${QS_INSTALL_SYSTEMD_USERUNITDIR}")
endif()

# Manual pages and the changelog, compressed as man and Debian expect them; gzip -n keeps the
# output free of time stamps, so two builds give the same bytes. Without gzip they go plain.
find_program(QS_GZIP gzip)
set(qs_docs "")
function(qs_install_doc source destination)
  get_filename_component(name "${source}" NAME)
  set(output "${PROJECT_BINARY_DIR}/dist/${name}")
  if(QS_GZIP)
    add_custom_command(OUTPUT "${output}.gz"
                       COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${output}"
                       COMMAND "${QS_GZIP}" -9nf "${output}"
                       DEPENDS "${source}" VERBATIM)
    set(qs_docs ${qs_docs} "${output}.gz" PARENT_SCOPE)
    install(FILES "${output}.gz" DESTINATION "${destination}")
  else()
    install(FILES "${source}" DESTINATION "${destination}")
  endif()
endfunction()

qs_install_doc("${qs_dist}/mirrowen.1" "${CMAKE_INSTALL_MANDIR}/man1")
if(TARGET quarrystream)
  qs_install_doc("${qs_dist}/quarrystream.1" "${CMAKE_INSTALL_MANDIR}/man1")
endif()
# Named as Debian names a native package's changelog.
qs_install_doc("${qs_dist}/changelog" "${QS_INSTALL_DOCDIR}")
install(FILES "${qs_dist}/copyright" DESTINATION "${QS_INSTALL_DOCDIR}")
add_custom_target(qs_docs ALL DEPENDS ${qs_docs})
