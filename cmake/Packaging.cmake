# `cpack` in the build folder. On Linux (`cpack -G DEB`) a Debian package whose dependencies
# come from the Qt shared libraries the program links (dpkg-shlibdeps); its copyright file,
# changelog, manual page and systemd user unit are installed by data/. For Windows a zip and
# an installer (cmake/WindowsPackage.cmake).
set(CPACK_PACKAGE_NAME ringlark)
set(CPACK_PACKAGE_VENDOR "RINGLARK developers")
set(CPACK_PACKAGE_CONTACT "RINGLARK developers <ringlark@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brings a PC online on request by e-mail")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
else()
    set(CPACK_PACKAGE_DESCRIPTION
        "Polls a POP3 mailbox and, when an agreed trigger mail arrives, brings up a\nNetworkManager connection (VPN, PPP, mobile broadband, WireGuard) unattended.")
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION net)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # Without a CJK font the whole Japanese interface is drawn as boxes.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "network-manager, fonts-noto-cjk")
endif()
include(CPack)
