# Makes, from the built `quillon` command, its man pages and its bash
# completion, plus the mapping-file page from docs/ and the compressed
# Debian changelog. Run as a script by the quillon_docs target
# (packaging/CMakeLists.txt) with these variables set:
#   QUILLON       the built command        DOCGEN     the built quillon-docgen
#   OUT           the output directory     VERSION    the project version
#   DOCS_DIR      where docs/ is installed, below the prefix
#   MAPPING_DOCS  the Markdown files of quillon-mappings(5), in order
#   CHANGELOG     the Debian changelog
# Everything in OUT is made anew, so that a removed subcommand leaves no page.
cmake_minimum_required(VERSION 3.25)

foreach(var QUILLON DOCGEN OUT VERSION DOCS_DIR MAPPING_DOCS CHANGELOG)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "generate_docs.cmake: ${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "generate_docs.cmake: failed (${result}): ${command}")
  endif()
endfunction()

file(REMOVE_RECURSE ${OUT}/man ${OUT}/completion)
file(REMOVE ${OUT}/cli.json ${OUT}/changelog.Debian ${OUT}/changelog.Debian.gz)
file(MAKE_DIRECTORY ${OUT}/man ${OUT}/completion)

run(${QUILLON} --describe-cli OUTPUT_FILE ${OUT}/cli.json)

set(settings --source "quillon ${VERSION}" --manual "Quillon Manual" --docs-dir ${DOCS_DIR})
run(${DOCGEN} man-pages --cli ${OUT}/cli.json --out ${OUT}/man ${settings}
  --see-also "quillon-mappings(5)")
run(${DOCGEN} markdown-page --name quillon-mappings --section 5
  --summary "mapping-class files, conditions and value expressions of quillon"
  --out ${OUT}/man/man5/quillon-mappings.5 ${settings} --see-also "quillon(1)"
  -- ${MAPPING_DOCS})
run(${DOCGEN} completion --cli ${OUT}/cli.json --out ${OUT}/completion/quillon)

# Debian wants man pages and changelogs compressed with gzip -9n (no name,
# no time stamp, so that builds are reproducible).
file(GLOB pages ${OUT}/man/man*/*)
run(gzip -9nf ${pages})
file(COPY_FILE ${CHANGELOG} ${OUT}/changelog.Debian)
run(gzip -9nf ${OUT}/changelog.Debian)

file(TOUCH ${OUT}/stamp)
