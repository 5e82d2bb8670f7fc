# Run by `cmake --install` and by CPack. The unit and its settings file name the installed server and demo
# data, so they are written for the prefix actually installed to, which CPack only chooses then (/usr for
# the package, whatever prefix the build was configured with).
# Set by the caller: DIST_SOURCE_DIR, DIST_SCRATCH_DIR, DIST_BINDIR, DIST_DATADIR.

set(prefix "${CMAKE_INSTALL_PREFIX}")
# As GNUInstallDirs has it: a system package's settings belong in /etc, not /usr/etc.
if(prefix STREQUAL "/usr")
    set(sysconfdir "/etc")
else()
    set(sysconfdir "${prefix}/etc")
endif()
set(unit_dir "${prefix}/lib/systemd/system")
set(PLENVARO_SERVER_BINARY "${prefix}/${DIST_BINDIR}/veldor-server")
set(PLENVARO_DEMO_DIR "${prefix}/${DIST_DATADIR}/plenvaro/demo")
set(PLENVARO_SERVER_DEFAULTS "${sysconfdir}/default/veldor-server")
set(PLENVARO_SERVICE_UNIT "${unit_dir}/veldor-server.service")

# Parallel installs (tests, CPack runs) each get a scratch folder of their own.
string(MD5 key "$ENV{DESTDIR}|${prefix}")
set(scratch "${DIST_SCRATCH_DIR}/${key}")
configure_file("${DIST_SOURCE_DIR}/veldor-server.service.in" "${scratch}/veldor-server.service" @ONLY)
configure_file("${DIST_SOURCE_DIR}/veldor-server.default.in" "${scratch}/veldor-server" @ONLY)

# file(INSTALL) prefixes DESTDIR itself; what it installs lands in the install manifest.
file(INSTALL "${scratch}/veldor-server.service" DESTINATION "${unit_dir}"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(INSTALL "${scratch}/veldor-server" DESTINATION "${sysconfdir}/default"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(REMOVE_RECURSE "${scratch}")
