# The Windows package: ringlark.exe with the Qt DLLs and plugins it loads and the mingw runtime,
# all in one folder, packed as a zip and as an NSIS installer (`cpack -G "ZIP;NSIS"`).
# Windows finds DLLs beside the program and Qt finds its plugins in sub-folders of the
# program's folder, so the folder runs wherever it is unpacked.

foreach(module Core Gui Network Widgets)
    install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# Qt's text codecs (ISO-2022-JP, Shift_JIS, EUC-JP ...), collation and time zones come from
# ICU, built beside the Windows Qt.
file(GLOB ringlark_icu_dlls "${QT6_INSTALL_PREFIX}/bin/icu*.dll")
if(NOT ringlark_icu_dlls)
    message(FATAL_ERROR "The Windows Qt at ${QT6_INSTALL_PREFIX} has no ICU DLLs beside it")
endif()
install(FILES ${ringlark_icu_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR})

# The native platform, the offscreen one for --headless, the native look, and TLS through
# Windows' own schannel.
set(ringlark_qt_plugins
    platforms QWindowsIntegrationPlugin
    platforms QOffscreenIntegrationPlugin
    styles QWindowsVistaStylePlugin
    tls QSchannelBackendPlugin)
while(ringlark_qt_plugins)
    list(POP_FRONT ringlark_qt_plugins folder plugin)
    if(NOT TARGET Qt6::${plugin})
        message(FATAL_ERROR "The Windows Qt lacks the ${plugin} plugin")
    endif()
    install(FILES $<TARGET_FILE:Qt6::${plugin}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${folder})
endwhile()

# The C++ runtime of the compiler that built both Qt and the program.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    get_filename_component(path "${path}" REALPATH)
    install(FILES "${path}" DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# CPack strips only the program; the DLLs carry their symbol tables (libstdc++ alone 24 MB),
# which no user needs.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*.dll\")
        foreach(dll \${dlls})
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\")
        endforeach()
    endif()
")

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME LICENSE.txt)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_FILE_NAME ringlark-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY RINGLARK)
set(CPACK_PACKAGE_EXECUTABLES ringlark RINGLARK)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ${CMAKE_INSTALL_BINDIR})
set(CPACK_NSIS_DISPLAY_NAME RINGLARK)
set(CPACK_NSIS_PACKAGE_NAME RINGLARK)
set(CPACK_NSIS_INSTALLED_ICON_NAME ${CMAKE_INSTALL_BINDIR}/ringlark.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The installer is 64-bit: without this it would offer "Program Files (x86)".
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
