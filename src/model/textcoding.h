// Names as text: a sphere's name is bytes as the file holds them. The window
// writes UTF-8; files from older programs hold Windows-1252. Every place that
// shows a name as text (JSON, Python, the window) decodes it the one way.
#pragma once

#include <string>

// bytes when they are valid UTF-8, otherwise bytes read as Windows-1252 and
// written as UTF-8.
std::string utf8Text(const std::string& bytes);
bool isValidUtf8(const std::string& bytes);
