#include "tests/support/fake_tools.h"

#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher::test {

void PlaceFakeTool(const fs::path& program) {
    fs::create_directories(program.parent_path());
    fs::copy_file(HelperChildPath(), program, fs::copy_options::overwrite_existing);
}

std::vector<ToolRun> ReadToolRuns(const fs::path& file) {
    std::vector<ToolRun> runs;
    for (const std::string& line : ReadLines(file)) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
            fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        fields.push_back(line.substr(start));
        ToolRun run;
        run.program = fields.front();
        if (fields.size() > 1) {
            run.folder = fields.back();
            run.arguments.assign(fields.begin() + 1, fields.end() - 1);
        }
        runs.push_back(std::move(run));
    }
    return runs;
}

}  // namespace launcher::test
