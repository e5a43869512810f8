// One package build with Builder::BuildPackage, for bench/run.sh to time against unzip and cp:
//   package_bench ROOT
// ROOT holds the package Velmora2-package.zip beside the launcher; the base folder ROOT/Velmora2 is
// made here. The port in the package prepares its code as the fake port does. Prints the seconds
// of each stage, one "stage NAME SECONDS" line each.
#include <cstdio>

#include "builder/builder.h"
#include "platform/platform.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: package_bench ROOT\n");
        return 2;
    }
    const std::filesystem::path root = launcher::Utf8Path(argv[1]);
    launcher::Game game;
    game.title = "Velmora";
    game.shortName = game.exe = "Velmora2";
    game.package = "Velmora2-package.zip";
    const std::unique_ptr<launcher::Platform> platform = launcher::MakePlatform();
    launcher::Builder builder(game, root / "Velmora2", nullptr, platform.get());
    std::filesystem::create_directories(builder.baseFolder);
    builder.SaveSetting("game", launcher::PathToUtf8(root / "disc"));
    std::string error;
    if (!builder.BuildPackage(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (const launcher::StageTime& stage : builder.stages)
        std::printf("stage %s %.3f\n", stage.name.c_str(), stage.seconds);
    return 0;
}
