# The installed layout (cmake --install, and the Debian package built from it):
#
#   <prefix>/lib/quillbox/       quillbox, quillbox-cli, libChakraCore.so and the install marker:
#                                the program directory, so the engine library is found beside the
#                                programs exactly as in the build tree
#   <prefix>/bin/                quillbox and quillbox-cli, relative links into the program directory
#   <prefix>/share/applications, icons/hicolor, metainfo   the desktop entry, the icon, AppStream data
#   <prefix>/share/doc/quillbox/ README and the licence texts of the npm packages embedded in the programs
#
# The marker tells the programs that their directory belongs to the package manager: settings,
# lib/ and the test page then go to ~/.local/share/quillbox even when the directory happens to be
# writable (root, or a prefix in the user's home).
include(GNUInstallDirs)

# Not CMAKE_INSTALL_LIBDIR: Debian's multiarch lib/x86_64-linux-gnu is for libraries that others
# link, and this is a private program directory.
set(QUILLBOX_PROGRAM_DIR lib/quillbox)

set(quillbox_programs quillbox-cli)
if(TARGET quillbox)
  list(APPEND quillbox_programs quillbox)
endif()
install(TARGETS ${quillbox_programs} RUNTIME DESTINATION ${QUILLBOX_PROGRAM_DIR})
if(TARGET ChakraCore)
  install(TARGETS ChakraCore LIBRARY DESTINATION ${QUILLBOX_PROGRAM_DIR} NAMELINK_SKIP)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/assets/desktop/quillbox.installed DESTINATION ${QUILLBOX_PROGRAM_DIR})

# bin/ links: relative, so the tree can be moved (DESTDIR, a package root) and still work.
foreach(program ${quillbox_programs})
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(REMOVE \"\${bin}/${program}\")
    file(CREATE_LINK \"../${QUILLBOX_PROGRAM_DIR}/${program}\" \"\${bin}/${program}\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/${program} -> ../${QUILLBOX_PROGRAM_DIR}/${program}\")
  ")
endforeach()

set(desktop ${PROJECT_SOURCE_DIR}/assets/desktop)
install(FILES ${desktop}/org.quillbox.Quillbox.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop}/org.quillbox.Quillbox.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${desktop}/quillbox.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${desktop}/quillbox-256.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
        RENAME quillbox.png)

# Licence texts of the npm packages whose files are embedded into the programs. A package without
# a licence file carries its licence in the leading comment of its main file.
# The starter library's packages are embedded too (written to "lib" at first start).
set(QUILLBOX_EMBEDDED_NPM ace-builds json3 jsmin js-beautify acorn @babel/standalone es5-shim core-js-bundle
    crypto-js-4.0.0 blueimp-md5 js-base64 jsencrypt pako CACHE INTERNAL "")
set(doc ${CMAKE_INSTALL_DATADIR}/doc/quillbox)
# The deobfuscation tool bundles webcrack and its dependencies: their licences, gathered at build time.
install(FILES ${QUILLBOX_DEOBFUSCATE_LICENSES} DESTINATION ${doc}/licenses/webcrack RENAME LICENSES.txt)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${doc})
foreach(package ${QUILLBOX_EMBEDDED_NPM})
  set(dir ${QUILLBOX_NODE_MODULES}/${package})
  file(GLOB licence ${dir}/LICEN[CS]E ${dir}/LICEN[CS]E.* ${dir}/license ${dir}/license.*)
  if(licence)
    list(GET licence 0 licence)
    install(FILES ${licence} DESTINATION ${doc}/licenses/${package} RENAME LICENSE)
  else()
    install(CODE "
      file(READ \"${dir}/package.json\" manifest)
      string(JSON main ERROR_VARIABLE none GET \"\${manifest}\" main)
      if(NOT main)
        set(main index.js)
      endif()
      if(NOT EXISTS \"${dir}/\${main}\")
        set(main \"\${main}.js\")
      endif()
      file(READ \"${dir}/\${main}\" source)
      # the leading block comments, up to the first line of code
      string(REGEX MATCH \"^([ \\t\\r\\n]*/\\\\*([^*]|\\\\*+[^*/])*\\\\*+/)+\" header \"\${source}\")
      file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${doc}/licenses/${package}/LICENSE\" \"\${header}\\n\")
      message(STATUS \"Installing: licence of ${package} from \${main}\")
    ")
  endif()
endforeach()
