# Run by cmake --install: writes the backup service for the folder the programs are installed into.
# systemd takes "%" as the start of a specifier, so a "%" in the folder's path is doubled.
string(REPLACE "%" "%%" folder "${CMAKE_INSTALL_PREFIX}")
set(unit_folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/systemd/user")
file(MAKE_DIRECTORY "${unit_folder}")
configure_file("${VAULTKEEP_SCHEDULE_SOURCE}/vaultkeep-backup.service.in" "${unit_folder}/vaultkeep-backup.service"
               @ONLY)
message(STATUS "Installing: ${unit_folder}/vaultkeep-backup.service")
