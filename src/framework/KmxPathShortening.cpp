#include "framework/KmxPathShortening.h"

std::string DropFirstDirectory(const std::string& dir) {
    if (dir == "\\") return {};
    std::string rest = dir;
    bool rooted = !rest.empty() && rest[0] == '\\';
    if (rooted) rest.erase(0, 1);
    if (!rest.empty() && rest[0] == '.') rest.erase(0, 4);
    std::string::size_type slash = rest.find('\\');
    rest = slash == std::string::npos ? std::string() : "...\\" + rest.substr(slash + 1);
    return rooted ? "\\" + rest : rest;
}

std::string ShortenPathToWidth(const std::string& fileName,
                               const std::function<int(const std::string&)>& textWidth, int maxWidth) {
    std::string::size_type cut = fileName.find_last_of("\\:");
    std::string dir = cut == std::string::npos ? std::string() : fileName.substr(0, cut + 1);
    std::string name = fileName.substr(dir.size());
    std::string drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.substr(0, 2);
        dir.erase(0, 2);
    }
    std::string result = fileName;
    while ((!dir.empty() || !drive.empty()) && textWidth(result) > maxWidth) {
        if (dir == "\\...\\") {
            drive.clear();
            dir = "...\\";
        } else if (dir.empty()) {
            drive.clear();
        } else {
            dir = DropFirstDirectory(dir);
        }
        result = drive + dir + name;
    }
    return result;
}
