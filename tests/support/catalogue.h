// The catalogue of web resources: every module's path names in the fixed module order and, within a
// module, in table order. Slot n of a fully built registry holds entry n of all_path_names().
#pragma once

#include <string>
#include <vector>

struct catalogue_module {
    std::string module;
    std::vector<std::string> names;
};

const std::vector<catalogue_module> &web_catalogue();
std::vector<std::string> all_path_names();
