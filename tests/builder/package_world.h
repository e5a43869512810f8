#pragma once
// The world of the package build's tests: the game whose package is the fixture that
// make_package.py writes beside the loopback server, the user's files in the play folder, and the
// play folder as a whole, compared byte for byte.
//
//   <root>/                      the launcher's folder: a package beside the launcher lies here
//   <root>/Velmora2/             the base folder
//   <root>/Velmora2/play/.next   the side folder

#include <filesystem>
#include <map>
#include <string>

#include "builder/builder.h"

namespace launcher::test {

// Title "Velmora", executable "Velmora2", repository https://github.com/o/n, a development
// launcher, the fixture as its one package, "default.xbe" as its XBE.
Game PackageGame();

std::filesystem::path BaseFolderIn(const std::filesystem::path& root);

// The user's saves, disc, logs and settings, which no build may change: name under play -> bytes.
const std::map<std::string, std::string>& UserFiles();
void PlaceUserFiles(const std::filesystem::path& play);
// Those of them that are under play now, with their bytes.
std::map<std::string, std::string> UserFilesIn(const std::filesystem::path& play);

// Everything under play but .next: '/'-separated names -> bytes; folders end in '/' and map to "".
std::map<std::string, std::string> PlayTree(const std::filesystem::path& play);

// An older version of the game: the executable, the library, a data folder of its own and a stamp.
void PlaceOlderVersion(const std::filesystem::path& play, const std::string& exeSuffix);
// Checks that play holds exactly the new version of the fixture (plus the user's files when given),
// its stamp reading stamp.
void ExpectNewVersion(const std::filesystem::path& play, const std::string& exeSuffix, const std::string& stamp,
                      bool withUserFiles);

// A copy of the package fixture in root, beside the launcher; returns its path.
std::filesystem::path PlacePackageBesideTheLauncher(const std::filesystem::path& root);
// The stamp of a package beside the launcher: its size, a blank and its last-write time.
std::string StampOfPackageBesideTheLauncher(const std::filesystem::path& package);

// Chooses copy as the game in launcher.json, making the base folder first.
void ChooseGame(Builder& builder, const std::filesystem::path& copy);

// The default script of the fake port (the one in the fixture): progress, log lines, the library.
extern const char kWorkingPortScript[];
extern const char kLibraryText[];

}  // namespace launcher::test
