// Shortening a full path to a pixel width for the path column: leading
// directories give way to "...\" one at a time; the file name is kept whole.
#pragma once

#include <functional>
#include <string>

// The measure gives the pixel width of a text in the font that will draw it.
// A text exactly maxWidth wide fits. The bare file name is the shortest
// result, even when it is still too wide.
std::string ShortenPathToWidth(const std::string& fileName,
                               const std::function<int(const std::string&)>& textWidth, int maxWidth);

// Removes the first directory of a directory part and marks the cut with
// "...\" (an earlier mark goes with it); a leading backslash is kept.
std::string DropFirstDirectory(const std::string& dir);
