// Texture file look-up.
#include "texturefinder.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

TextureFinder::TextureFinder() : programFolders_(defaultProgramFolders()) {}

TextureFinder::TextureFinder(std::string documentFolder, std::vector<std::string> programFolders)
    : documentFolder_(std::move(documentFolder)), programFolders_(std::move(programFolders)) {}

std::string TextureFinder::baseName(const std::string& textureFile) {
    // Documents written on other systems may use either separator.
    auto cut = textureFile.find_last_of("/\\");
    std::string name = cut == std::string::npos ? textureFile : textureFile.substr(cut + 1);
    if (name == "." || name == "..") return {};
    return name;
}

std::string TextureFinder::find(const std::string& textureFile) const {
    std::string name = baseName(textureFile);
    if (name.empty()) return {};
    std::vector<std::string> folders;
    if (!documentFolder_.empty()) folders.push_back(documentFolder_);
    folders.insert(folders.end(), programFolders_.begin(), programFolders_.end());
    for (const auto& folder : folders) {
        std::error_code ec;
        fs::path candidate = fs::path(folder) / name;
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
    return {};
}

std::vector<std::string> TextureFinder::defaultProgramFolders() {
    std::vector<std::string> folders;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path dir = exe.parent_path();
        folders.push_back((dir / "textures").string());
        folders.push_back((dir / ".." / "share" / "rotundel" / "textures").string());
    }
#ifdef ROTUNDEL_TEXTURE_DIR
    folders.push_back(ROTUNDEL_TEXTURE_DIR);
#endif
    return folders;
}
