// archive_places: where the players look for their archive when none is named.
//
// Offers: ARCHIVE_FILE_NAME, archive_places (the working directory, the program's own
// folder, the installed data folder, in that order), running_program_folder and
// places_of_archive (a named archive, or those places: what every program reads).
// Depends on: the C++ filesystem library (and /proc/self/exe for the program's folder).
//
// The installed data folder is found from the program's folder by the relative path
// between the installed bin/ and share/textdemo/ folders, so an installation works under
// whatever prefix it was copied to.
#pragma once

#include <string>
#include <vector>

namespace textdemo {

inline constexpr const char* ARCHIVE_FILE_NAME = "ruk.salad";

// "./ruk.salad", then ruk.salad in program_folder and in the data folder beside it; a
// folder that is the same as an earlier one is left out. An empty program_folder (not
// known) leaves only the working directory.
std::vector<std::string> archive_places(const std::string& program_folder);

// The folder of the running program's executable; empty when the system does not say.
std::string running_program_folder();

// {named} when an archive is named (--archive), else archive_places of the running
// program's folder.
std::vector<std::string> places_of_archive(const std::string& named);

}  // namespace textdemo
