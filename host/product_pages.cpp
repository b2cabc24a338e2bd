#include "host/product_pages.h"

const char kHomePageAddress[] = "https://morv.studio/";
const char kOnlineManualAddress[] = "https://morv.studio/manual/";
const char kLocalManualName[] = "MORVStudio/help.html";

std::string localManualPath(const std::string& libraryPath) {
    const std::size_t slash = libraryPath.rfind('\\');
    if (slash == std::string::npos || libraryPath.size() - slash - 1 < 2) return std::string();
    std::string path = libraryPath.substr(0, slash + 1) + kLocalManualName;
    if (path.size() + 1 > kManualPathRoom) return std::string();
    return path;
}
