# Run by CPack in the Debian package's staging folder: adds what Debian wants beside the program and its page.
set(usr "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${usr}/share/doc/${CPACK_PACKAGE_NAME}")
set(page "${usr}/${CPACK_TAVLEN_MANDIR}/man1/tavlen.1")
file(MAKE_DIRECTORY "${doc}")

# gzip -n keeps the name and time of the input out, so the same text gives the same bytes.
function(compress input output)
  execute_process(COMMAND gzip -9n -c "${input}" OUTPUT_FILE "${output}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()
compress("${page}" "${page}.gz")
file(REMOVE "${page}")
# Tavlen's own changes, and the package's record, which Debian keeps apart for a package with a revision.
compress("${CPACK_TAVLEN_SOURCE_DIR}/packaging/changelog" "${doc}/changelog.gz")
compress("${CPACK_TAVLEN_SOURCE_DIR}/packaging/changelog.Debian" "${doc}/changelog.Debian.gz")
set(overrides "${usr}/share/lintian/overrides")
file(MAKE_DIRECTORY "${overrides}")
configure_file("${CPACK_TAVLEN_SOURCE_DIR}/packaging/lintian-overrides" "${overrides}/${CPACK_PACKAGE_NAME}" COPYONLY)

# The licence in Debian's machine-readable form, its text taken from LICENSE so the two cannot drift apart:
# each line indented by one blank, and an empty one written as " .".
file(STRINGS "${CPACK_TAVLEN_SOURCE_DIR}/LICENSE" licence)
list(FILTER licence EXCLUDE REGEX "^(MIT License|Copyright .*)$")
list(TRANSFORM licence REPLACE "^$" ".")
list(TRANSFORM licence PREPEND " ")
list(JOIN licence "\n" licence)
string(REGEX REPLACE "^( \\.\n)+" "" licence "${licence}")
file(WRITE "${doc}/copyright" "\
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tavlen

Files: *
Copyright: 2026 The Tavlen developers
License: Expat
${licence}
")

# Whatever the umask of whoever packs, under which even CPack makes its folders: folders and the program 0755,
# other files 0644.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${usr}/*")
foreach(entry IN LISTS usr entries)
  if(IS_DIRECTORY "${entry}" OR entry MATCHES "/bin/[^/]+$")
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
         WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
