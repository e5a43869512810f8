// The music import on a folder of songs, as the user runs it: a first import into an empty game
// folder, then a second one that finds every song unchanged.
//   music_bench MUSIC_FOLDER BASE_FOLDER
// removes BASE_FOLDER, imports twice and prints the seconds of each import.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "builder/builder.h"
#include "platform/file_tree.h"
#include "platform/text.h"

namespace {

double Seconds(const std::function<bool()>& body, bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    ok = body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: music_bench MUSIC_FOLDER BASE_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = launcher::Utf8Path(argv[1]);
    const std::filesystem::path base = launcher::Utf8Path(argv[2]);
    std::error_code ec;
    launcher::RemoveTree(base, ec);
    const std::unique_ptr<launcher::Platform> platform = launcher::MakePlatform();
    launcher::Game game;
    game.exe = "game";
    launcher::Builder builder(game, base, nullptr, platform.get());
    std::string result, error;
    bool ok = false;
    const double first = Seconds([&] { return builder.ImportMusic(folder, result, error); }, ok);
    if (!ok) {
        std::fprintf(stderr, "the import failed: %s\n", error.c_str());
        return 1;
    }
    const double second = Seconds([&] { return builder.ImportMusic(folder, result, error); }, ok);
    if (!ok) {
        std::fprintf(stderr, "the second import failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("%.4f %.4f %s\n", first, second, result.c_str());
    return 0;
}
