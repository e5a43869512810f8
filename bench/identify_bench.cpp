// Identifies a copy on a sparse whole-disc image of a real disc's size and prints the seconds it
// took: IdentifyGame reads only the folders and the XBE, never the rest of the image.
//   identify_bench FOLDER
#include <chrono>
#include <cstdio>
#include <string>

#include "game/identify.h"
#include "platform/sha.h"
#include "tests/support/disc_image.h"

using launcher::test::DiscNode;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: identify_bench FOLDER\n");
        return 2;
    }
    const std::filesystem::path image = std::filesystem::path(argv[1]) / "whole-disc.iso";
    std::string xbe(3u << 20, '\0');
    for (std::size_t i = 0; i < xbe.size(); ++i) xbe[i] = static_cast<char>(i * 31 % 251);

    // A few thousand entries in a few hundred folders, and data up to the end of a 7.4 GB partition.
    std::vector<DiscNode> folders;
    for (int f = 0; f < 300; ++f) {
        std::vector<DiscNode> files;
        for (int i = 0; i < 20; ++i) files.push_back(DiscNode::File("file" + std::to_string(i) + ".bin", "x"));
        folders.push_back(DiscNode::Folder("folder" + std::to_string(f), std::move(files)));
    }
    folders.push_back(DiscNode::File("default.xbe", xbe));
    folders.push_back(DiscNode::File("last.bin", "end", static_cast<std::uint32_t>(7400000000ull / 2048)));
    launcher::test::DiscLayout layout;
    layout.wholeDisc = true;
    launcher::test::WriteDiscImage(image, DiscNode::Folder("", std::move(folders)), layout);

    launcher::Sha1Context context;
    launcher::Sha1Init(context);
    launcher::Sha1Update(context, xbe.data(), xbe.size());
    launcher::Game game;
    game.title = "Velmora";
    game.xbe = "default.xbe";
    game.releases[launcher::Sha1Final(context)] = "Europe";

    const auto start = std::chrono::steady_clock::now();
    const launcher::GameSource source = launcher::IdentifyGame(game, image);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove(image);
    if (!source.ok) {
        std::fprintf(stderr, "not identified: %s\n", source.error.c_str());
        return 1;
    }
    std::printf("%.4f\n", seconds);
    return 0;
}
