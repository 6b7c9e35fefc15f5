# The Debian package: cpack -G DEB in a build directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmora developers")
set(VELMORA_MAINTAINER "Velmora developers <maintainers@velmora.example>")
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for the KL310 board camera")
set(CPACK_PACKAGE_DESCRIPTION
  "Velmora opens one dialog window in which the operator connects to a KL310
board camera over a USB-to-I2C adapter, sees its settings and changes them
live: exposure, white balance, sharpness, mirror and flip, overlays and image
trim. Settings are saved into the camera's EEPROM, and the whole EEPROM can be
copied into a settings file and programmed back from one. A direct I2C panel
reads and writes single sensor registers and EEPROM bytes. velmora-eeprom
dumps, programs, verifies and erases the EEPROM from the command line, for
one camera or several side by side, and shows saved settings by name;
velmora-reg reads and writes sensor registers by name and runs register
scripts.
.
The adapter library libqxiic comes with the program and includes a simulated
camera. A udev rule gives the logged-in user and the i2c group the buses of
USB-to-I2C adapters, and no other I2C bus.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The release of the package's own changes, as in dist/changelog.
set(CPACK_DEBIAN_PACKAGE_RELEASE 2)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORA_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from dpkg-shlibdeps; what it cannot see is listed here:
# the dialog font is Inter, other text DejaVu Sans, found through fontconfig.
# (libpq5, the plant database's client, comes from dpkg-shlibdeps with the
# program that links it.) libv4l2 and libv4lconvert are opened when a
# capture device's picture is first shown, so shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# adduser: the postinst makes the i2c group of the udev rule.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, fonts-dejavu-core, fonts-inter, libv4l-0, libv4lconvert0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/postinst ${CMAKE_CURRENT_SOURCE_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
