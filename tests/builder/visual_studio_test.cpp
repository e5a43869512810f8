// The Visual Studio tools read from a channel and a manifest that each test publishes on its own
// code host, fetched by the build's real HTTP client.
#include "builder/visual_studio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "platform/text.h"
#include "tests/builder/visual_studio_feed.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"

namespace launcher {
namespace {

using test::ChannelItem;
using test::ChannelText;
using test::CodeHost;
using test::Json;
using test::kManifestItemId;
using test::ManifestText;
using test::Package;
using test::Payload;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr char kManifestPath[] = "vs/manifest.json";
constexpr char kDigestA[] = "b4557b4f012161f56a2f5d9e877ab9635cafd7a08f7affe14829bd60c9d357f0";
constexpr char kDigestB[] = "07fc8261b42b20e71d1720b39068c2e14ffcee6396b76fb7a795fb460b78dc65";
constexpr char kSdkPackage[] = "Win11SDK_10.0.26100";

std::string Runtime(const std::string& part) { return "Microsoft.VC.14.44.17.14.CRT." + part + ".base"; }

std::string Url(const std::string& name) { return "https://download.example/vs/" + name; }

std::vector<std::string> BuiltinInstallers() {
    return nlohmann::json::parse(BuiltinToolListText()).at("sdk").at("msis").get<std::vector<std::string>>();
}

// The SDK package's payloads for the built-in list: its ten installers (the second one's name in
// lower case) between cabinets and files that are neither.
std::vector<Json> SdkPayloads() {
    std::vector<Json> payloads = {Payload("Installers\\0123456789abcdef0123456789abcdef.cab", Url("c1"), kDigestB, 7000)};
    const std::vector<std::string> installers = BuiltinInstallers();
    for (size_t i = 0; i < installers.size(); ++i) {
        const std::string name = i == 1 ? AsciiLower(installers[i]) : installers[i];
        payloads.push_back(Payload("Installers\\" + name, Url("msi" + std::to_string(i)), kDigestA, 100 + i));
    }
    payloads.push_back(Payload("Installers\\A.CAB", Url("c2"), kDigestB, 8000));
    payloads.push_back(Payload("Installers\\.cab", Url("c3"), kDigestB, 9000));
    // Neither is taken, so neither is checked.
    payloads.push_back(Payload("Installers\\readme.txt", "http://download.example/vs/txt", "", 10));
    payloads.push_back(Payload("Installers\\Windows SDK Extra-x86_en-us.msi", Url("extra"), kDigestB, 20));
    payloads.push_back(Payload("FEDCBA9876543210FEDCBA9876543210.CAB", Url("c4"), kDigestA, 6000));
    return payloads;
}

// A manifest for the built-in list, with packages that must not be taken: other chips and
// languages, a later id that differs only in case, packages and payloads of other shapes.
std::vector<Json> BuiltinPackages() {
    return {
        Package(Runtime("Headers"), {Payload("arm.vsix", Url("arm"), kDigestB, 1)}, "arm64"),
        Package(Runtime("Headers"), {Payload("de.vsix", Url("de"), kDigestB, 2)}, "", "de-de"),
        Package(AsciiLower(Runtime("Headers")), {Payload("payload\\Headers.vsix", Url("headers"), "B4557B4F012161F56A2F5D9E877AB9635CAFD7A08F7AFFE14829BD60C9D357F0", 11)},
                "neutral", "neutral"),
        Package(Runtime("Headers"), {Payload("second.vsix", Url("second"), kDigestB, 3)}),
        42,
        Json{{"id", Runtime("x64.Desktop")},
             {"chip", 64},
             {"payloads", Json::array({Payload("n.vsix", Url("n"), kDigestB, 4)})}},
        Package(Runtime("x64.Desktop"), {Payload("Desktop.vsix", Url("desktop"), kDigestA, 22)}, "X64", "EN-US"),
        Package(Runtime("x64.Store"),
                {"not a payload", Payload("a/Store1.vsix", Url("store1"), kDigestA, 33),
                 Json{{"fileName", "Store2.vsix"}, {"url", Url("store2")}, {"sha256", kDigestB}, {"size", "44"}}},
                "x64"),
        Package(Runtime("Source"), {Json{{"fileName", "Source.vsix"}, {"url", Url("source")}, {"sha256", kDigestA}}}),
        Package(kSdkPackage, SdkPayloads()),
    };
}



// One failure, with what the test publishes: the list's text, the channel ("{manifest}" stands for
// the manifest's address) and the manifest, each left out when absent. In the error, "{channel}"
// and "{manifest}" stand for the addresses that were asked.
struct FailureCase {
    std::string name;
    std::string list;
    std::optional<std::string> channel;
    std::optional<std::string> manifest;
    std::string error;
};

class ReadVisualStudioTest : public testing::TestWithParam<FailureCase> {
protected:
    void PublishChannel(const std::string& text) { host.PublishAt(kDefaultVisualStudioChannel, text); }
    std::string ManifestUrl() const { return host.OutsideUrl(kManifestPath); }

    std::vector<std::string> ToolIds() const {
        std::vector<std::string> ids;
        for (const Tool& tool : toolchain.tools) ids.push_back(tool.id);
        return ids;
    }

    // The addresses as published, or as the server was asked them (named so in the fetch errors).
    std::string WithAddresses(std::string text, bool asked = false) const {
        const std::string manifest = asked ? host.SiteUrl(kManifestPath) : ManifestUrl();
        for (const auto& [placeholder, address] :
             {std::pair<std::string, std::string>{"{manifest}", manifest},
              std::pair<std::string, std::string>{"{channel}", host.SiteUrl("aka/vs/17/release/channel")}}) {
            for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at)) {
                text.replace(at, placeholder.size(), address);
            }
        }
        return text;
    }

    CodeHost host;
    Toolchain toolchain;
    std::string error = "before";
};

TEST_F(ReadVisualStudioTest, TheBuiltInListGivesTheRuntimeAndTheSdk) {
    ASSERT_TRUE(ReadToolchain(BuiltinToolListText(), toolchain, error)) << error;
    PublishChannel(ChannelText({
        ChannelItem(kManifestItemId, host.OutsideUrl("vs/earlier.json")),
        ChannelItem("microsoft.visualstudio.manifests.visualstudio", host.OutsideUrl("vs/decoy.json")),
        Json{{"id", kManifestItemId}},
        ChannelItem(kManifestItemId, ManifestUrl()),
        // None of these has an address: each is passed over.
        Json{{"id", kManifestItemId}, {"payloads", Json::array()}},
        Json{{"id", kManifestItemId}, {"payloads", "x"}},
        Json{{"id", kManifestItemId}, {"payloads", Json::array({3})}},
        Json{{"id", kManifestItemId}, {"payloads", Json::array({Json{{"url", 5}}})}},
        Json{{"id", kManifestItemId}, {"payloads", Json::array({Json{{"fileName", "x.json"}}})}},
        7,
        Json{{"id", 5}, {"payloads", Json::array({Json{{"url", host.OutsideUrl("vs/decoy.json")}}})}},
    }));
    host.PublishSiteFile(kManifestPath, ManifestText(BuiltinPackages()));

    ASSERT_TRUE(ReadVisualStudio(host.http(), BuiltinToolListText(), toolchain, error)) << error;
    EXPECT_EQ(error, "before");
    EXPECT_THAT(host.http().asked, ElementsAre(kDefaultVisualStudioChannel, ManifestUrl()));
    EXPECT_THAT(ToolIds(), ElementsAre("llvm", "cmake", "ninja", "git", "msvc", "winsdk"));
    EXPECT_EQ(toolchain.sdkVersion, "10.0.26100.0");

    const Tool& msvc = toolchain.tools[4];
    EXPECT_EQ(msvc.title, "Microsoft C++ libraries 14.44.17.14");
    EXPECT_EQ(msvc.kind, "vsix");
    EXPECT_EQ(msvc.stamp, "14.44.17.14 " + Runtime("Headers") + " " + Runtime("x64.Desktop") + " " +
                              Runtime("x64.Store") + " " + Runtime("Source"));
    EXPECT_EQ(msvc.strip, 0);
    EXPECT_THAT(msvc.keep, IsEmpty());
    EXPECT_FALSE(msvc.optional);
    EXPECT_THAT(msvc.cabs, IsEmpty());
    EXPECT_THAT(msvc.files, ElementsAre(FileRef{Runtime("Headers") + ".vsix", Url("headers"), kDigestA, 11},
                                        FileRef{Runtime("x64.Desktop") + ".vsix", Url("desktop"), kDigestA, 22},
                                        FileRef{Runtime("x64.Store") + "-1.vsix", Url("store1"), kDigestA, 33},
                                        FileRef{Runtime("x64.Store") + "-2.vsix", Url("store2"), kDigestB, 0},
                                        FileRef{Runtime("Source") + ".vsix", Url("source"), kDigestA, 0}));

    const Tool& sdk = toolchain.tools[5];
    EXPECT_EQ(sdk.title, "Windows SDK 10.0.26100.0");
    EXPECT_EQ(sdk.kind, "msi");
    EXPECT_EQ(sdk.strip, 0);
    EXPECT_THAT(sdk.keep, IsEmpty());
    EXPECT_FALSE(sdk.optional);
    std::vector<FileRef> installers;
    std::string stamp = kSdkPackage;
    const std::vector<std::string> wanted = BuiltinInstallers();
    for (size_t i = 0; i < wanted.size(); ++i) {
        const std::string name = i == 1 ? AsciiLower(wanted[i]) : wanted[i];
        installers.push_back(FileRef{name, Url("msi" + std::to_string(i)), kDigestA, 100 + i});
        stamp += " " + name;
    }
    EXPECT_THAT(sdk.files, testing::ElementsAreArray(installers));
    EXPECT_EQ(sdk.stamp, stamp);
    EXPECT_EQ(sdk.stamp.substr(0, 48), "Win11SDK_10.0.26100 Windows SDK Desktop Headers ");
    EXPECT_THAT(sdk.cabs, ElementsAre(FileRef{"0123456789abcdef0123456789abcdef.cab", Url("c1"), kDigestB, 7000},
                                      FileRef{"A.CAB", Url("c2"), kDigestB, 8000},
                                      FileRef{"FEDCBA9876543210FEDCBA9876543210.CAB", Url("c4"), kDigestA, 6000}));
    // Ten installers of 100 to 109 bytes and three cabinets.
    EXPECT_EQ(sdk.DownloadSize(), 1045u + 21000u);
}

TEST_F(ReadVisualStudioTest, TheListsOwnNamesAreLookedUpAsWritten) {
    const std::string list = Json{{"tools", Json::array()},
                                  {"msvc", {{"version", "9{v}9"}, {"packages", {"Pkg.{v}.{v}", "Plain.Name"}}}},
                                  {"sdk", {{"package", "Kit"}, {"version", "1.0"}, {"msis", {"Kit.msi", "KIT.MSI"}}}}}
                                 .dump();
    PublishChannel(ChannelText({ChannelItem(kManifestItemId, ManifestUrl())}));
    host.PublishSiteFile(kManifestPath,
                         ManifestText({Package("pkg.9{v}9.9{v}9", {Payload("p.vsix", Url("p"), kDigestA, 1)}),
                                       Package("PLAIN.NAME", {Payload("n.vsix", Url("n"), kDigestA, 2)}),
                                       Package("kit", {Payload("kit.msi", "HTTPS://download.example/vs/kit", kDigestB, 3)})}));

    ASSERT_TRUE(ReadVisualStudio(host.http(), list, toolchain, error)) << error;
    EXPECT_THAT(ToolIds(), ElementsAre("msvc", "winsdk"));
    const Tool& msvc = toolchain.tools[0];
    EXPECT_EQ(msvc.title, "Microsoft C++ libraries 9{v}9");
    EXPECT_EQ(msvc.stamp, "9{v}9 Pkg.9{v}9.9{v}9 Plain.Name");
    EXPECT_THAT(msvc.files, ElementsAre(FileRef{"Pkg.9{v}9.9{v}9.vsix", Url("p"), kDigestA, 1},
                                        FileRef{"Plain.Name.vsix", Url("n"), kDigestA, 2}));
    const Tool& sdk = toolchain.tools[1];
    EXPECT_EQ(sdk.title, "Windows SDK 1.0");
    EXPECT_EQ(sdk.stamp, "Kit kit.msi");
    EXPECT_THAT(sdk.files, ElementsAre(FileRef{"kit.msi", "HTTPS://download.example/vs/kit", kDigestB, 3}));
    EXPECT_THAT(sdk.cabs, IsEmpty());
    EXPECT_EQ(toolchain.sdkVersion, "1.0");
}

TEST(AddPayloadsTest, NamesAreTheLastPartOfTheFileNameAndOtherTypesCountAsMissing) {
    std::vector<FileRef> files = {FileRef{"earlier", "", "", 0}};
    AddPayloads(Json{{"payloads",
                      {Payload("a\\b/c.msi", "u1", "ABC", 5), Payload("a/b\\c.cab", "u2", "", 0), Json{{"fileName", 1}},
                       Json{{"url", "u3"}, {"size", -4}}, Json::array(), Payload("dir\\", "u4", "", 1)}}},
                files);
    EXPECT_THAT(files, ElementsAre(FileRef{"earlier", "", "", 0}, FileRef{"c.msi", "u1", "abc", 5}, FileRef{"c.cab", "u2", "", 0},
                                   FileRef{}, FileRef{"", "u3", "", 0}, FileRef{"", "u4", "", 1}));
    AddPayloads(Json{{"id", "no payloads"}}, files);
    AddPayloads(Json{{"payloads", "x"}}, files);
    AddPayloads(Json::array(), files);
    EXPECT_EQ(files.size(), 6u);
}

constexpr char kNoEntry[] = "toolchain.json has no msvc or sdk entry";
constexpr char kUnreadableList[] = "toolchain.json is not readable";
constexpr char kNoManifest[] = "the Visual Studio channel lists no package manifest";
constexpr char kUnreadableManifest[] = "the Visual Studio manifest is not readable";

std::string ListWith(const Json& msvc, const Json& sdk) {
    return Json{{"tools", Json::array()}, {"msvc", msvc}, {"sdk", sdk}}.dump();
}

std::string ListWithout(const char* key) {
    Json list = nlohmann::json::parse(BuiltinToolListText());
    list.erase(key);
    return list.dump();
}

std::string GoodChannel() { return ChannelText({ChannelItem(kManifestItemId, "{manifest}")}); }

std::string BuiltinManifestWithout(const std::string& id) {
    std::vector<Json> packages;
    for (const Json& package : BuiltinPackages()) {
        if (!package.is_object() || package.value("id", "") != id) packages.push_back(package);
    }
    return ManifestText(packages);
}

// The built-in manifest with the SDK package's payloads changed by edit.
template <typename Edit>
std::string BuiltinManifestWithSdkPayloads(Edit edit) {
    std::vector<Json> packages = BuiltinPackages();
    std::vector<Json> payloads = SdkPayloads();
    edit(payloads);
    packages.back() = Package(kSdkPackage, payloads);
    return ManifestText(packages);
}

// A list of its own, with version "1", whose one runtime package and one installer carry the names
// given.
FailureCase UnsafeNameCase(const std::string& name, const std::string& runtimePackage, const std::string& installer,
                           const std::string& unsafe) {
    std::string manifestId = runtimePackage;
    manifestId.replace(manifestId.find("{v}"), 3, "1");
    return {name,
            ListWith({{"version", "1"}, {"packages", Json::array({runtimePackage})}},
                     {{"package", "Kit"}, {"msis", Json::array({installer})}}),
            GoodChannel(),
            ManifestText({Package(manifestId, {Payload("r.vsix", Url("r"), kDigestA, 1)}),
                          Package("Kit", {Payload("Installers\\" + installer, Url("i"), kDigestA, 1)})}),
            "the Visual Studio manifest has an unsafe file name: " + unsafe};
}

// A list of its own, with version "1", whose one runtime package and one installer have the payloads
// given.
FailureCase OwnPayloadsCase(const std::string& name, const Json& runtime, const Json& installer,
                            const std::string& error) {
    return {name,
            ListWith({{"version", "1"}, {"packages", Json::array({"Microsoft.VC.{v}"})}},
                     {{"package", "Kit"}, {"msis", Json::array({"kit.msi"})}}),
            GoodChannel(),
            ManifestText({Package("Microsoft.VC.1", {runtime}), Package("Kit", {installer})}),
            error};
}

std::string NotHttps(const std::string& fileName, const std::string& url) {
    return "the Visual Studio manifest's " + fileName + " needs an https address: " + url;
}

std::string NoDigest(const std::string& fileName) {
    return "the Visual Studio manifest's " + fileName + " has no sha256";
}

std::vector<FailureCase> FailureCases() {
    const std::string builtin = BuiltinToolListText();
    const std::string manifest = ManifestText(BuiltinPackages());
    return {
        // The list's own entries.
        {"no_msvc", ListWithout("msvc"), GoodChannel(), manifest, kNoEntry},
        {"no_sdk", ListWithout("sdk"), GoodChannel(), manifest, kNoEntry},
        {"msvc_text", ListWith("runtime", Json::object()), GoodChannel(), manifest, kNoEntry},
        {"msvc_null", ListWith(nullptr, Json::object()), GoodChannel(), manifest, kNoEntry},
        {"sdk_array", ListWith(Json::object(), Json::array()), GoodChannel(), manifest, kNoEntry},
        {"channel_number", ListWith({{"channel", 1}}, Json::object()), GoodChannel(), manifest, kUnreadableList},
        {"version_number", ListWith({{"version", 14}}, Json::object()), GoodChannel(), manifest, kUnreadableList},
        {"packages_text", ListWith({{"packages", Runtime("Source")}}, Json::object()), GoodChannel(), manifest,
         kUnreadableList},
        {"package_entry_number", ListWith({{"packages", Json::array({"a", 1})}}, Json::object()), GoodChannel(), manifest,
         kUnreadableList},
        {"sdk_package_array", ListWith(Json::object(), {{"package", Json::array({kSdkPackage})}}), GoodChannel(), manifest,
         kUnreadableList},
        {"sdk_version_number", ListWith(Json::object(), {{"version", 10}}), GoodChannel(), manifest, kUnreadableList},
        {"msis_text", ListWith(Json::object(), {{"msis", "a.msi"}}), GoodChannel(), manifest, kUnreadableList},
        {"msis_entry_null", ListWith(Json::object(), {{"msis", Json::array({nullptr})}}), GoodChannel(), manifest,
         kUnreadableList},
        // Only https, from the channel to each payload: the installers are run.
        {"channel_http", ListWith({{"channel", "http://aka.ms/vs/17/release/channel"}}, Json::object()), GoodChannel(),
         manifest, "toolchain.json: the Visual Studio channel needs an https address: http://aka.ms/vs/17/release/channel"},
        {"channel_ftp", ListWith({{"channel", "ftp://aka.ms/channel"}}, Json::object()), GoodChannel(), manifest,
         "toolchain.json: the Visual Studio channel needs an https address: ftp://aka.ms/channel"},
        {"channel_without_scheme", ListWith({{"channel", "aka.ms/vs/17/release/channel"}}, Json::object()), GoodChannel(),
         manifest, "toolchain.json: the Visual Studio channel needs an https address: aka.ms/vs/17/release/channel"},
        {"channel_empty", ListWith({{"channel", ""}}, Json::object()), GoodChannel(), manifest,
         "toolchain.json: the Visual Studio channel needs an https address: "},
        {"manifest_http", builtin,
         ChannelText({ChannelItem(kManifestItemId, "http://download.visualstudio.microsoft.com/m.json")}), manifest,
         "the Visual Studio channel's package manifest needs an https address: "
         "http://download.visualstudio.microsoft.com/m.json"},
        {"manifest_relative", builtin, ChannelText({ChannelItem(kManifestItemId, "vs/manifest.json")}), manifest,
         "the Visual Studio channel's package manifest needs an https address: vs/manifest.json"},
        {"installer_http", builtin, GoodChannel(),
         BuiltinManifestWithSdkPayloads([](std::vector<Json>& payloads) {
             payloads[1]["url"] = "http://download.example/vs/msi0";
         }),
         NotHttps(BuiltinInstallers()[0], "http://download.example/vs/msi0")},
        {"cabinet_http", builtin, GoodChannel(),
         BuiltinManifestWithSdkPayloads([](std::vector<Json>& payloads) { payloads[0]["url"] = "http://x/c1"; }),
         NotHttps("0123456789abcdef0123456789abcdef.cab", "http://x/c1")},
        OwnPayloadsCase("runtime_http", Payload("r.vsix", "http://download.example/vs/r", kDigestA, 1),
                        Payload("kit.msi", Url("i"), kDigestA, 1),
                        NotHttps("Microsoft.VC.1.vsix", "http://download.example/vs/r")),
        OwnPayloadsCase("runtime_without_address", Payload("r.vsix", "", kDigestA, 1),
                        Payload("kit.msi", Url("i"), kDigestA, 1), NotHttps("Microsoft.VC.1.vsix", "")),
        OwnPayloadsCase("installer_file_address", Payload("r.vsix", Url("r"), kDigestA, 1),
                        Payload("kit.msi", "file:///C:/kit.msi", kDigestA, 1), NotHttps("kit.msi", "file:///C:/kit.msi")),
        // And each with its digest.
        OwnPayloadsCase("runtime_without_digest", Payload("r.vsix", Url("r"), "", 1),
                        Payload("kit.msi", Url("i"), kDigestA, 1), NoDigest("Microsoft.VC.1.vsix")),
        OwnPayloadsCase("runtime_digest_of_63", Payload("r.vsix", Url("r"), std::string(kDigestA).substr(1), 1),
                        Payload("kit.msi", Url("i"), kDigestA, 1), NoDigest("Microsoft.VC.1.vsix")),
        OwnPayloadsCase("installer_digest_not_hex", Payload("r.vsix", Url("r"), kDigestA, 1),
                        Payload("kit.msi", Url("i"), std::string(64, 'g'), 1), NoDigest("kit.msi")),
        OwnPayloadsCase("installer_digest_a_number", Payload("r.vsix", Url("r"), kDigestA, 1),
                        Json{{"fileName", "kit.msi"}, {"url", Url("i")}, {"sha256", 7}}, NoDigest("kit.msi")),
        {"cabinet_without_digest", builtin, GoodChannel(),
         BuiltinManifestWithSdkPayloads([](std::vector<Json>& payloads) { payloads[0].erase("sha256"); }),
         NoDigest("0123456789abcdef0123456789abcdef.cab")},
        // The channel.
        {"channel_missing", builtin, std::nullopt, manifest, "Visual Studio channel: the server answered 404 for {channel}"},
        {"channel_not_json", builtin, "<html>Sign in to continue</html>", manifest, kNoManifest},
        {"channel_array", builtin, "[" + GoodChannel() + "]", manifest, kNoManifest},
        {"channel_items_object", builtin, Json{{"channelItems", Json::object({{"id", kManifestItemId}})}}.dump(), manifest,
         kNoManifest},
        {"only_an_item_in_another_case",
         builtin, ChannelText({ChannelItem("microsoft.visualstudio.manifests.visualstudio", "{manifest}")}), manifest,
         kNoManifest},
        {"only_items_of_other_shapes", builtin,
         ChannelText({Json{{"id", kManifestItemId}}, Json{{"id", kManifestItemId}, {"payloads", Json::array()}},
                      Json{{"id", kManifestItemId}, {"payloads", Json::array({"{manifest}"})}},
                      Json{{"id", kManifestItemId}, {"payloads", Json::array({Json{{"url", Json::array({"{manifest}"})}}})}},
                      "{manifest}"}),
         manifest, kNoManifest},
        {"a_later_empty_address", builtin,
         ChannelText({ChannelItem(kManifestItemId, "{manifest}"), ChannelItem(kManifestItemId, "")}), manifest,
         kNoManifest},
        // The manifest.
        {"manifest_missing", builtin, GoodChannel(), std::nullopt,
         "Visual Studio manifest: the server answered 404 for {manifest}"},
        {"manifest_not_json", builtin, GoodChannel(), manifest.substr(0, manifest.size() / 2), kUnreadableManifest},
        {"manifest_array", builtin, GoodChannel(), "[" + manifest + "]", kUnreadableManifest},
        {"manifest_without_packages", builtin, GoodChannel(), R"({"package": []})", kUnreadableManifest},
        {"manifest_packages_object", builtin, GoodChannel(), R"({"packages": {"id": "x"}})", kUnreadableManifest},
        {"runtime_package_missing", builtin, GoodChannel(), BuiltinManifestWithout(Runtime("Source")),
         "the Visual Studio manifest has no " + Runtime("Source")},
        {"sdk_package_missing", builtin, GoodChannel(), BuiltinManifestWithout(kSdkPackage),
         "the Visual Studio manifest has no Win11SDK_10.0.26100"},
        {"an_installer_missing", builtin, GoodChannel(),
         BuiltinManifestWithSdkPayloads([](std::vector<Json>& payloads) { payloads.erase(payloads.begin() + 4); }),
         "the Windows SDK package lacks some of its installers (9 of 10)"},
        {"an_installer_twice", builtin, GoodChannel(),
         BuiltinManifestWithSdkPayloads([](std::vector<Json>& payloads) { payloads.push_back(payloads[3]); }),
         "the Windows SDK package lacks some of its installers (11 of 10)"},
        // Names that would lead out of the download folder.
        {"cabinet_device_name", builtin, GoodChannel(),
         BuiltinManifestWithSdkPayloads([](std::vector<Json>& payloads) {
             payloads.push_back(Payload("Installers\\aux.cab", Url("aux"), kDigestB, 1));
         }),
         "the Visual Studio manifest has an unsafe file name: aux.cab"},
        UnsafeNameCase("runtime_package_with_a_separator", "Microsoft.VC.{v}\\..\\x", "kit.msi",
                       "Microsoft.VC.1\\..\\x.vsix"),
        UnsafeNameCase("runtime_package_with_a_drive", "C:Microsoft.VC.{v}", "kit.msi", "C:Microsoft.VC.1.vsix"),
        UnsafeNameCase("installer_device_name", "Microsoft.VC.{v}", "con.msi", "con.msi"),
        UnsafeNameCase("installer_not_ascii", "Microsoft.VC.{v}", "Kit \xC3\xA9.msi", "Kit \xC3\xA9.msi"),
        UnsafeNameCase("installer_trailing_dot", "Microsoft.VC.{v}", "kit.msi.", "kit.msi."),
    };
}

TEST_P(ReadVisualStudioTest, FailsWithItsMessageAndAddsNothing) {
    const FailureCase& failure = GetParam();
    ASSERT_TRUE(ReadToolchain(failure.list, toolchain, error)) << error;
    const std::vector<std::string> listed = ToolIds();
    if (failure.channel) PublishChannel(WithAddresses(*failure.channel));
    if (failure.manifest) host.PublishSiteFile(kManifestPath, *failure.manifest);

    bool ok = true;
    EXPECT_NO_THROW(ok = ReadVisualStudio(host.http(), failure.list, toolchain, error));
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, WithAddresses(failure.error, true));
    EXPECT_EQ(ToolIds(), listed);
    EXPECT_TRUE(toolchain.sdkVersion.empty());
    // A list that cannot be read, or that names a channel it cannot have, asks the network nothing.
    if (failure.error.rfind("toolchain.json", 0) == 0) {
        EXPECT_THAT(host.http().asked, IsEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, ReadVisualStudioTest, testing::ValuesIn(FailureCases()), test::CaseName());

}  // namespace
}  // namespace launcher
