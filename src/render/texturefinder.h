// Where a sphere's texture picture is looked for: beside the document
// first, then in the program's own textures folders.
#pragma once

#include <string>
#include <vector>

class TextureFinder {
  public:
    // The program's folders: "textures" beside the executable, the installed
    // share/rotundel/textures, and the source tree's resources/textures.
    TextureFinder();
    TextureFinder(std::string documentFolder, std::vector<std::string> programFolders);

    void setDocumentFolder(std::string folder) { documentFolder_ = std::move(folder); }
    const std::string& documentFolder() const { return documentFolder_; }
    const std::vector<std::string>& programFolders() const { return programFolders_; }

    // The file that holds the picture, or "" when none of the folders has
    // it. Only the name's last part is used: a document names a picture,
    // never a place elsewhere on the machine.
    std::string find(const std::string& textureFile) const;

    // The last part of a name stored in a document ("" for none at all,
    // "." or "..").
    static std::string baseName(const std::string& textureFile);
    static std::vector<std::string> defaultProgramFolders();

  private:
    std::string documentFolder_;
    std::vector<std::string> programFolders_;
};
