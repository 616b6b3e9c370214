// The container a video file's name asks for, the same whether or not this build can write it.
#include <cctype>

#include "video.h"

VideoContainer video_container_for(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return VideoContainer::none;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "mp4") return VideoContainer::mp4;
    if (extension == "webm") return VideoContainer::webm;
    return VideoContainer::none;
}
