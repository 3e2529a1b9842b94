# The Debian package: `cpack -G DEB` in the build folder (./scripts/package).
# Run-time dependencies come from dpkg-shlibdeps over the installed binary.
# What it cannot see, because Qt and Mesa load it at run time, is named here:
# the X11 platform plugin, the SVG icon and TIFF image plugins, and Mesa's
# software OpenGL drivers.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rotundel)
set(CPACK_PACKAGE_VENDOR "The Rotundel developers")
set(CPACK_PACKAGE_CONTACT "The Rotundel developers <rotundel@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for rolling-sphere automata and their curves")
set(CPACK_PACKAGE_DESCRIPTION "Rotundel builds trees of spheres that roll on one another, outside or \
inside, with exact rational radii and rolling rates, and computes the \
closed three-dimensional curves that their marked points trace. It draws \
them in an OpenGL window, saves pictures, and renders, inspects and exports \
automata from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stage through DESTDIR, which is how the install step knows to leave the
# desktop and MIME caches alone.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://rotundel.github.io/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libgl1-mesa-dri")
# The Python module's arrays need NumPy; the rest of the program does not.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, qt6-image-formats-plugins, python3-numpy")
# The desktop, MIME and manual-page databases are brought up to date by
# Debian's own triggers on the folders we install into: no maintainer scripts.
include(CPack)
