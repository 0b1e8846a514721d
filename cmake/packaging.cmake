# Installation and packages for Rollcall, Exec and Say.
#
#   cmake --install <build> [--prefix DIR]
#       POSIX: the programs in bin/, the manual pages (gzip-compressed when
#       gzip is there) in share/man/man1/, the README in
#       share/doc/sprite-batch-tools/.
#   cpack -G DEB          (run in the build folder)
#       a Debian package, sprite-batch-tools_<version>_<arch>.deb, whose
#       dependencies (ICU among them) dpkg-shlibdeps works out from the
#       programs; without dpkg-shlibdeps, libicu<major> and the C/C++ runtimes
#       are named by hand.
#   Windows cross build (cmake/mingw-w64-x86_64.cmake): cpack makes a .zip
#       holding the three .exe files, the README and the manual pages as
#       text (rendered by groff at build time, CR LF line ends; the roff
#       sources instead when groff is missing).
#
# Included once from the top-level CMakeLists.txt, after the programs are
# defined.  The same file, run with "cmake -P", renders one manual page as
# text for the Windows package (see render_manual_as_text below).

if(CMAKE_SCRIPT_MODE_FILE)
    # cmake -DGROFF=... -DINPUT=page.1 -DOUTPUT=page.txt -P packaging.cmake
    execute_process(
        COMMAND "${GROFF}" -t -man -Tutf8 -P-c -P-b -P-u "${INPUT}"
        OUTPUT_VARIABLE text
        ERROR_VARIABLE errors
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
        message(FATAL_ERROR "groff could not render ${INPUT} (status ${status}): ${errors}")
    endif()
    string(REPLACE "\n" "\r\n" text "${text}") # for Notepad and type
    file(WRITE "${OUTPUT}" "${text}")
    return()
endif()

include(GNUInstallDirs)

set(SPRITE_TOOLS Rollcall Exec Say)
set(SPRITE_PACKAGE_NAME sprite-batch-tools)
set(manual_dir ${CMAKE_BINARY_DIR}/manuals)
set(manual_files)

if(WIN32)
    # One flat folder in the zip: programs, README and manuals side by side.
    install(TARGETS ${SPRITE_TOOLS} RUNTIME DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
    # The build runs on the host, so groff is the host's.
    find_program(GROFF_PROGRAM groff NO_CMAKE_FIND_ROOT_PATH)
    foreach(tool IN LISTS SPRITE_TOOLS)
        set(page ${PROJECT_SOURCE_DIR}/docs/${tool}.1)
        if(GROFF_PROGRAM)
            add_custom_command(
                OUTPUT ${manual_dir}/${tool}.txt
                COMMAND ${CMAKE_COMMAND} -E make_directory ${manual_dir}
                COMMAND ${CMAKE_COMMAND} -DGROFF=${GROFF_PROGRAM} -DINPUT=${page}
                        -DOUTPUT=${manual_dir}/${tool}.txt -P ${CMAKE_CURRENT_LIST_FILE}
                DEPENDS ${page} ${CMAKE_CURRENT_LIST_FILE}
                COMMENT "Rendering the ${tool} manual as text"
                VERBATIM)
            list(APPEND manual_files ${manual_dir}/${tool}.txt)
        else()
            list(APPEND manual_files ${page})
        endif()
    endforeach()
    if(NOT GROFF_PROGRAM)
        message(STATUS "groff not found: the zip holds the manual pages as roff sources")
    endif()
    install(FILES ${manual_files} DESTINATION .)
else()
    install(TARGETS ${SPRITE_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/README.md
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${SPRITE_PACKAGE_NAME})
    # Debian keeps manual pages compressed with gzip -9n (no name or time
    # stamp, so the package is reproducible).
    find_program(GZIP_PROGRAM gzip)
    foreach(tool IN LISTS SPRITE_TOOLS)
        set(page ${PROJECT_SOURCE_DIR}/docs/${tool}.1)
        if(GZIP_PROGRAM)
            add_custom_command(
                OUTPUT ${manual_dir}/${tool}.1.gz
                COMMAND ${CMAKE_COMMAND} -E make_directory ${manual_dir}
                COMMAND ${CMAKE_COMMAND} -E copy ${page} ${manual_dir}/${tool}.1
                COMMAND ${GZIP_PROGRAM} -9nf ${manual_dir}/${tool}.1
                DEPENDS ${page}
                COMMENT "Compressing the ${tool} manual page"
                VERBATIM)
            list(APPEND manual_files ${manual_dir}/${tool}.1.gz)
        else()
            list(APPEND manual_files ${page})
        endif()
    endforeach()
    install(FILES ${manual_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Built with "all", so that an install or a package always has them.
set(generated_manuals ${manual_files})
list(FILTER generated_manuals INCLUDE REGEX "^${manual_dir}/")
if(generated_manuals)
    add_custom_target(manual_pages ALL DEPENDS ${generated_manuals})
endif()

# Packages.
set(CPACK_PACKAGE_NAME ${SPRITE_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Rollcall, Exec and Say authors")
set(CPACK_PACKAGE_CONTACT "The Rollcall, Exec and Say authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console tools for batch work over folders of sprite files")
set(CPACK_PACKAGE_DESCRIPTION
    "Rollcall writes the sorted names of the files that match a DOS wildcard
pattern into a list file for an archive repacker; Exec prints one batch
command line per matching file; Say prints a text and a file count and
returns the count as its exit status.  The tools give the same output, with
CR LF line ends, on Linux and on Windows.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/bench/results/")

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
    if(DPKG_SHLIBDEPS_PROGRAM)
        # Names the ICU, C and C++ runtime packages the programs link to,
        # with the versions they need.
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    else()
        find_package(ICU REQUIRED COMPONENTS uc)
        string(REGEX MATCH "^[0-9]+" icu_major "${ICU_VERSION}")
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "libicu${icu_major}, libc6, libstdc++6, libgcc-s1")
        message(STATUS "dpkg-shlibdeps not found: the package depends on ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
    endif()
endif()

include(CPack)
