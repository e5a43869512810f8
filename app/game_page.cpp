#include "app/game_page.h"

#include <mutex>
#include <optional>
#include <string_view>

#include "app/self_update.h"
#include "app/theme.h"
#include "app/widgets.h"
#include "game/identify.h"
#include "platform/atomic_file.h"
#include "platform/release.h"
#include "platform/text.h"

namespace launcher {
namespace {

// The licence terms of Microsoft's C++ libraries and Windows SDK, which a build from source
// downloads: "Read them" opens the page, and agreed.txt records the acceptance with its address.
constexpr char kLicenceTermsAddress[] = "https://visualstudio.microsoft.com/license-terms/";

constexpr char kChooseText[] =
    "Choose your copy of the game: a disc image (.iso) of your own disc, or a folder with the disc's files. "
    "Nothing is copied off the internet: the game comes from your disc.";
constexpr char kFasterText[] =
    "This version comes ready-made: your PC only builds the game's own code, in a minute or two, with no build "
    "tools to download. Your saves, settings and music are kept, and the game you have keeps working until the new "
    "one is ready.";
constexpr char kReadyToGoText[] =
    "The program comes ready to go, and your PC builds the game's code from your own disc, once. Nothing is "
    "installed in Windows, and it all stays in one folder.";
constexpr char kStopHint[] =
    "You can stop at any time: it carries on from there next time. Your saves and music are not touched.";
constexpr char kWorkingHint[] = "Working: see the bar below. It carries on from there next time if you stop it.";
constexpr char kSourceText[] =
    "The game is built on this PC from your disc. This downloads about 1.4 GB of build tools (Clang, CMake, Git "
    "and Microsoft's C++ libraries and Windows SDK) into the tools folder; nothing is installed in Windows. The "
    "first build takes 30 to 90 minutes and needs about 3 GB free, plus room for your copy of the game.";
constexpr char kConsentLabel[] = "I accept the license terms for Microsoft's C++ libraries and Windows SDK";
constexpr char kPlayAtStartLabel[] = "Start the game when the launcher opens, if nothing needs updating";
constexpr char kShiftHint[] =
    "Hold Shift as the launcher opens to stay in it. The launch option --play does the same for one shortcut (a "
    "Steam shortcut, say).";
constexpr char kInGameHint[] =
    "In the game: F1 opens the PC settings. Saves, settings and logs stay in the game's folder.";
constexpr char kLogLink[] = "Open launcher.log";

void ColouredText(ImU32 colour, const std::string& text) {
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    ImGui::TextWrapped("%s", text.c_str());
    ImGui::PopStyleColor();
}

// The colours of Play and of the buttons that lead to it.
class PlayColours {
public:
    PlayColours() {
        ImGui::PushStyleColor(ImGuiCol_Button, palette::kPressed);
        ImGui::PushStyleColor(ImGuiCol_ButtonHovered, palette::kAccent);
        ImGui::PushStyleColor(ImGuiCol_Text, palette::kWhite);
    }
    ~PlayColours() { ImGui::PopStyleColor(3); }
    PlayColours(const PlayColours&) = delete;
    PlayColours& operator=(const PlayColours&) = delete;
};

bool PlayColouredButton(const char* label, float width) {
    const PlayColours colours;
    return ImGui::Button(label, ImVec2(width, 0.0f));
}

// A release page comes from the network, and the shell's "open" also runs programs and opens
// shares: only a web address over HTTPS is handed on.
bool IsHttpsAddress(const std::string& text) {
    constexpr std::string_view kScheme = "https://";
    return text.size() >= kScheme.size() &&
           AsciiEqualIgnoringCase(std::string_view(text).substr(0, kScheme.size()), kScheme);
}

// "(yours: v1.1)", or "an earlier one" when the build recorded no version.
std::string YoursText(Builder& builder) {
    const std::string built = builder.BuiltVersion();
    return "(yours: " + (built.empty() ? std::string("an earlier one") : built) + ")";
}

std::string FreeSpaceHint(const App& app) { return "Free on this drive: " + FormatSize(FreeSpace(app.baseFolder)); }

void StartInstall(App& app) {
    app.gameUpdateReady = false;
    app.musicResultShown = false;
    app.RunTask(InstallTask(app), kInstallDoneMessage);
}

void StartBuild(App& app) {
    app.gameUpdateReady = false;
    app.musicResultShown = false;
    app.RunTask(BuildTask(app), kBuildDoneMessage);
}

void LauncherOffer(App& app, ImFont* headingFont, bool busy) {
    if (!app.launcherOffered || app.offerDismissed) return;
    Release release;
    {
        std::lock_guard<std::mutex> lock(app.releaseMutex);
        release = app.offeredRelease;
    }
    SectionTitle("A new version", headingFont);
    ColouredText(palette::kAccent, "Version " + release.tag + " is out (this launcher is " + app.game.version + ").");
    ImGui::TextWrapped("%s",
                       "Update the launcher, then build the game again with the new version. Your saves and settings "
                       "are kept.");
    ImGui::BeginDisabled(busy || release.url.empty());
    if (ImGui::Button("Update the launcher")) {
        app.musicResultShown = false;
        app.RunTask(UpdateLauncherTask(app, release), "");
    }
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (ImGui::Button("What's new") && IsHttpsAddress(release.page)) ShellOpen(release.page);
    ImGui::SameLine();
    if (ImGui::Button("Later")) app.offerDismissed = true;
}

// Adopting an identified copy, a task since the copy of an image can take minutes. The copy counts
// as chosen only once it is adopted; a failure shows as the task's error.
struct AdoptTask {
    App& app;
    GameSource chosen;
    bool operator()(std::string& error) const {
        // A Stop pressed during an earlier task must not end this copy at its first block.
        app.builder->cancel = false;
        GameSource outcome = chosen;
        outcome.ok = app.builder->AdoptGame(chosen, error);
        const bool adopted = outcome.ok;
        std::lock_guard<std::mutex> lock(app.mutex);
        app.adopted = std::move(outcome);
        return adopted;
    }
};

void ChooseCopy(App& app, WindowHandle window, bool folder) {
    const std::wstring picked = PickPath(window, folder, nullptr);
    if (picked.empty()) return;
    GameSource identified = IdentifyGame(app.game, WidePath(picked));
    if (!identified.ok) {
        app.source = std::move(identified);
        return;
    }
    app.musicResultShown = false;
    app.RunTask(AdoptTask{app, std::move(identified)}, "");
}

void YourGame(App& app, WindowHandle window, ImFont* headingFont, bool busy) {
    SectionTitle("Your game", headingFont);
    if (app.source.ok) {
        ColouredText(palette::kSuccess, app.source.region);
        Hint(PathToUtf8(app.source.source).c_str());
    } else {
        ImGui::TextWrapped("%s", kChooseText);
        if (!app.source.error.empty()) ColouredText(palette::kFailure, app.source.error);
    }
    ImGui::BeginDisabled(busy);
    const bool image = ImGui::Button("Choose a disc image...");
    ImGui::SameLine();
    const bool folder = ImGui::Button("Choose a folder...");
    ImGui::EndDisabled();
    if (image || folder) ChooseCopy(app, window, folder);
}

struct PageState {
    float s;
    bool installed;
    bool busy;
};

void PackageBuild(App& app, ImFont* headingFont, const PageState& page, const Status& status, const std::string& error,
                  const std::string& notice) {
    Builder& builder = *app.builder;
    const bool building = page.busy && !app.musicResultShown;
    const bool updateReady = app.gameUpdateReady;
    const bool codeMissing = builder.GameCodeMissing();
    int m = builder.phase;
    if (page.installed) {
        if (!building && !updateReady) m = 4;
        SectionTitle(updateReady ? "Getting the game ready" : "Ready to play", headingFont);
    } else {
        SectionTitle(codeMissing ? "A faster way to play" : "Getting the game ready", headingFont);
        ImGui::TextWrapped("%s", codeMissing && !building ? kFasterText : kReadyToGoText);
        ImGui::Spacing();
    }

    StepRow(app.source.ok ? kStepDone : kStepWaiting, "Your game", app.source.ok ? app.source.region : "not chosen yet",
            nullptr);
    static const char* const kSteps[] = {"Download the program", "Unpack it", "Build the game for this PC"};
    for (int k = 1; k <= 3; ++k) {
        const bool active = building && m == k;
        StepRow(active ? kStepActive : m > k ? kStepDone : kStepWaiting, kSteps[k - 1], "", active ? &status : nullptr);
    }
    ImGui::Spacing();

    if (building) {
        Hint(kStopHint);
        return;
    }
    if (updateReady) {
        const std::string& version = app.game.version;
        ColouredText(palette::kAccent, IsVersion(version)
                                           ? "Version " + version + " is ready to install " + YoursText(builder) +
                                                 ". Your saves, settings and music are kept."
                                           : "A new version is available.");
    }
    if (!page.installed || updateReady) {
        Hint(FreeSpaceHint(app).c_str());
        // Every task button waits while a task runs: a press now would clear the update offer and
        // the music result, and the task would not start.
        ImGui::BeginDisabled(!app.source.ok || page.busy);
        if (PlayColouredButton(page.installed || codeMissing ? "Update" : "Get the game ready", 14.0f * page.s)) {
            StartInstall(app);
        }
        ImGui::EndDisabled();
    }
    if (!app.musicResultShown) NoticeBox(app, error, notice, kLogLink);
}

void WriteAgreement(const App& app) {
    // Without the record the user is only asked again at the next start.
    std::string ignored;
    WriteFileAtomically(app.baseFolder / "agreed.txt", kLicenceTermsAddress, AtomicWriteOptions{}, ignored);
}

void SourceBuild(App& app, ImFont* headingFont, const PageState& page, const std::string& error,
                 const std::string& notice) {
    Builder& builder = *app.builder;
    SectionTitle("Build", headingFont);
    if (page.busy) {
        Hint(kWorkingHint);
        return;
    }
    const float width = 10.0f * page.s;
    if (!page.installed) {
        ImGui::TextWrapped("%s", kSourceText);
        Hint(FreeSpaceHint(app).c_str());
        ImGui::Checkbox(kConsentLabel, &app.agreed);
        ImGui::SameLine();
        if (ImGui::SmallButton("Read them")) ShellOpen(kLicenceTermsAddress);
        std::string tooLong;
        const bool pathTooLong = builder.PathTooLongForSdk(tooLong);
        if (pathTooLong) ColouredText(palette::kFailure, tooLong);
        ImGui::BeginDisabled(pathTooLong || !app.source.ok || !app.agreed);
        if (PlayColouredButton("Build", width)) {
            WriteAgreement(app);
            StartBuild(app);
        }
        ImGui::EndDisabled();
    } else if (!app.gameUpdateReady) {
        ColouredText(palette::kSuccess, "Built and ready.");
        ImGui::BeginDisabled(!app.source.ok);
        if (ImGui::Button("Rebuild", ImVec2(width, 0.0f))) StartBuild(app);
        ImGui::EndDisabled();
    } else {
        const std::string& version = app.game.version;
        ColouredText(palette::kAccent, IsVersion(version) ? "Version " + version + " of the game is ready to build " +
                                                                YoursText(builder) + "."
                                                          : "A new version is available.");
        ImGui::BeginDisabled(!app.source.ok);
        if (PlayColouredButton("Update", width)) StartBuild(app);
        ImGui::EndDisabled();
    }
    if (!app.musicResultShown) NoticeBox(app, error, notice, kLogLink);
}

void Play(App& app, ImFont* headingFont, const PageState& page) {
    Builder& builder = *app.builder;
    SectionTitle("Play", headingFont);
    ImGui::BeginDisabled(page.busy || !app.source.ok || !(page.installed || builder.GameCodeMissing()));
    ImGui::PushFont(headingFont);
    const bool play = PlayColouredButton("Play", 10.0f * page.s);
    ImGui::PopFont();
    ImGui::EndDisabled();
    if (play) {
        std::string error;
        if (!builder.StartGame(error)) {
            std::lock_guard<std::mutex> lock(app.mutex);
            app.error = error;
        }
    }
    if (app.playPending) {
        ImGui::TextColored(ImGui::ColorConvertU32ToFloat4(palette::kAccent), "%s",
                           "The game starts once the check for a new version is done.");
        ImGui::SameLine();
        if (ImGui::SmallButton("Stay in the launcher")) app.playPending = false;
    }
    if (ImGui::Checkbox(kPlayAtStartLabel, &app.playAtStart)) builder.WritePlayAtStart(app.playAtStart);
    Hint(kShiftHint);
    Hint(kInGameHint);
}

}  // namespace

void GamePage(App& app, WindowHandle window, ImFont* headingFont, const Status& status, const std::string& error,
              const std::string& notice) {
    const PageState page{ImGui::GetFontSize(), app.builder->IsInstalled(), app.busy.load()};
    LauncherOffer(app, headingFont, page.busy);
    YourGame(app, window, headingFont, page.busy);
    const Game& game = app.builder->game;
    if (InPackageMode(game)) {
        PackageBuild(app, headingFont, page, status, error, notice);
    } else {
        SourceBuild(app, headingFont, page, error, notice);
    }
    Play(app, headingFont, page);
}

void TakeAdoptedCopy(App& app) {
    std::optional<GameSource> adopted;
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        adopted.swap(app.adopted);
    }
    if (adopted) app.source = std::move(*adopted);
}

std::function<bool(std::string&)> InstallTask(App& app) {
    return [&app](std::string& error) { return app.builder->BuildAll(error); };
}

std::function<bool(std::string&)> BuildTask(App& app) {
    return [&app](std::string& error) { return app.builder->BuildAll(error); };
}

}  // namespace launcher
