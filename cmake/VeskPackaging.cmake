# `cpack -G DEB` (run by `./build.sh package`) turns the install tree into a Debian
# package. Its dependencies come from the shared libraries the executable links
# (dpkg-shlibdeps); the Qt platform plugins are loaded at run time, so no library
# names them and they are listed by hand.

set(CPACK_PACKAGE_NAME vesk)
set(CPACK_PACKAGE_VENDOR "Dravlen and the Vesk contributors")
set(CPACK_PACKAGE_CONTACT "Vesk contributors <hello@vesk.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of the long description stay under 80 columns, as Debian's tools read them.
set(CPACK_PACKAGE_DESCRIPTION
    "Vesk gathers the skill files that AI coding tools read from your home
directory and your projects in one window: Claude Code, Cursor, Windsurf,
Codex, Copilot, Aider, Amp, Gemini CLI and OpenCode. Browse, search,
favorite, group into collections, create and edit them.
`vesk list --json` serves scripts.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first packaging of each version; data/changelog.Debian.in names the same.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Opening a skill in the default editor and revealing it in the file manager go
# through the desktop's handlers; xdg-utils provides them outside a full desktop.
# qt6-wayland lets the window run natively in a Wayland session (most GNOME and KDE
# desktops) instead of through XWayland; recommended rather than required, since
# an X11 desktop and `vesk list` over SSH do without it. Adding skills from a
# repository and checking them for updates run the user's own git; everything else
# works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils, git")

include(CPack)
