# CPack post-build script: takes postinst and postrm out of the built
# Debian package again. CPack insists on writing them (with ldconfig calls)
# for a package with libraries in /usr/lib; this package has the ldconfig
# trigger instead, and without a postrm `apt remove` leaves no trace of the
# package in dpkg's database (a package with a postrm stays behind in the
# "config-files" state until purged).
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${deb} failed")
  endif()
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${tree} ${deb}
    OUTPUT_QUIET RESULT_VARIABLE result)
  file(REMOVE_RECURSE ${tree})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --build ${deb} failed")
  endif()
endforeach()
