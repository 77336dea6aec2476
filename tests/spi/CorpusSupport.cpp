#include "CorpusSupport.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tavo::spitest {

std::optional<std::string> run(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return std::nullopt;
    std::string out;
    char buffer[65536];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    if (pclose(pipe) != 0)
        return std::nullopt;
    return out;
}

std::optional<fs::path> fetch(const std::string& arguments)
{
    auto out = run("bash '" TAVO_SOURCE_DIR "/tests/corpora/fetch.sh' " + arguments);
    if (!out)
        return std::nullopt;
    out->erase(out->find_last_not_of('\n') + 1);
    return fs::path(*out);
}

std::vector<fs::path> filesIn(const fs::path& folder, const std::string& extension)
{
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == extension)
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace tavo::spitest
