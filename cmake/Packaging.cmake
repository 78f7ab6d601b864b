# `cpack -G DEB` in the build folder: a Debian package whose dependencies come from the Qt
# shared libraries the program links (dpkg-shlibdeps). Its copyright file, changelog, manual
# page and systemd user unit are installed by data/.
set(CPACK_PACKAGE_NAME ringlark)
set(CPACK_PACKAGE_VENDOR "RINGLARK developers")
set(CPACK_PACKAGE_CONTACT "RINGLARK developers <ringlark@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brings a PC online on request by e-mail")
set(CPACK_PACKAGE_DESCRIPTION
    "Polls a POP3 mailbox and, when an agreed trigger mail arrives, brings up a\nNetworkManager connection (VPN, PPP, mobile broadband, WireGuard) unattended.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without a CJK font the whole Japanese interface is drawn as boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "network-manager, fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(CPack)
