#pragma once
// The stages of a build from the port's prebuilt package. One run's values live in a PackageRun
// that the package build owns and hands to each stage; every stage is a free function of the
// Builder and that run, and returns whether it succeeded.

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "builder/builder.h"

namespace launcher {

// The mark of the unpacked package, in the side folder and then in the play folder: its SHA-256.
inline constexpr char kPackageStampName[] = "package.stamp";

struct PackageRun {
    std::string packageName;                // the package's file name, from the game description
    std::string stamp;                      // what marks the unpacked package in its side folder
    std::filesystem::path downloadsFolder;  // base/downloads
    std::filesystem::path packagePath;      // where the package file is, once known
    std::filesystem::path sideFolder;       // play/.next: where the package is unpacked and prepared
    std::uint64_t packageSize = 0;          // the description's "size"; 0 when it gives none
    std::error_code fileError;              // the error of the last file-system call given it
    std::string failureReason;              // the text of the port's last "failed " line
    std::int64_t prepareCodeStart = 0;      // steady-clock nanoseconds when the port was started
    std::string error;                      // the message of a failed stage
};

// Finds the release, reads the package's description and downloads the package into the downloads
// folder, checked by its SHA-256. True at once, with nothing downloaded, when the side folder
// already holds the package the description names.
bool DownloadPackageStage(Builder& builder, PackageRun& run);
// The download's byte progress as a status; the description's size is the total.
void PackageDownloadProgress(Builder& builder, PackageRun& run, std::uint64_t done, std::uint64_t total);

// Unpacks the package into the side folder (made here) through PackageEntryFilter, reporting the
// bytes written; run.error gets the extraction's message.
bool UnpackPackageStage(Builder& builder, PackageRun& run);
// The unpack's status: the fraction of bytes written, or no bar for an empty package.
void PackageUnpackProgress(Builder& builder, std::uint64_t done, std::uint64_t total);

// Runs the port's executable in the side folder with "--prepare-code", which builds its code for
// this machine; true when it exits with 0.
bool PrepareCodeStage(Builder& builder, PackageRun& run);
// One output line of that run: a progress line becomes a status, a "failed " line sets the failure
// reason, other lines go to the log.
void PrepareCodeOutputLine(Builder& builder, PackageRun& run, const std::string& line);
// The status detail of a progress line: the files, or "Finishing the build", and after the first
// five seconds an estimate of the time left.
std::string PrepareCodeDetail(std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                              std::uint64_t bytesTotal, double elapsedSeconds);

// Moves the prepared version from the side folder into the play folder, one top-level entry at a
// time: a folder replaces the installed folder of its name as a whole, a file the file. The user's
// folders and the settings files at the top stay behind. An entry that Windows still holds is tried
// again every second, up to two minutes. The side folder's package.stamp never moves: it goes
// before the first move (so that a run cut short unpacks again), comes back when nothing moved,
// and is written into the play folder after a success.
bool ReplaceGameStage(Builder& builder, PackageRun& run);

}  // namespace launcher
